#include "services/translationdialog.h"

#include "platform/settingsstore.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelo {

namespace {

constexpr TranslationService services[] = {
    TranslationService::Page, TranslationService::LibreTranslate, TranslationService::DeepL};

// The services go by the names their messages use; only the page, which a
// message names within a sentence, needs a title of its own in the list.
QString serviceTitle(TranslationService service)
{
    if (service == TranslationService::Page)
        return QStringLiteral("Übersetzungsseite (klassisch)");
    return displayName(service);
}

QLabel *hintLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    return label;
}

} // namespace

QString ServiceChoice::keyOf(TranslationService of) const
{
    switch (of) {
    case TranslationService::LibreTranslate:
        return libreTranslateKey;
    case TranslationService::DeepL:
        return deepLKey;
    case TranslationService::Page:
        break;
    }
    return QString();
}

void ServiceChoice::setKey(TranslationService of, const QString &key)
{
    if (of == TranslationService::LibreTranslate)
        libreTranslateKey = key;
    else if (of == TranslationService::DeepL)
        deepLKey = key;
}

QString choiceProblem(const ServiceChoice &choice)
{
    const QString address = choice.address.trimmed();
    const QString key = choice.key();
    if (choice.service == TranslationService::Page) {
        if (!address.isEmpty() &&
            !translationUrl(address, QString(), TranslationDirection::GermanToEnglish))
            return QStringLiteral("Die Adresse der Seite ist keine http- oder https-Adresse.");
        return QString();
    }
    if (address.isEmpty() && choice.service == TranslationService::LibreTranslate)
        return QStringLiteral("Für LibreTranslate fehlt die Adresse des Servers, zum Beispiel "
                              "http://localhost:5000.");
    if (!address.isEmpty() && !serviceEndpoint(choice.service, address))
        return QStringLiteral("Die Adresse ist keine http- oder https-Adresse eines Servers (ohne "
                              "\"?\" und was danach kommt).");
    if (key.isEmpty() && needsKey(choice.service))
        return QStringLiteral("Für %1 ist ein API-Schlüssel nötig; er steht im Konto bei %1.")
            .arg(displayName(choice.service));
    if (!key.isEmpty() && !isPlausibleKey(key))
        return QStringLiteral("Der Schlüssel darf nur sichtbare ASCII-Zeichen enthalten, keine "
                              "Leerzeichen und keine Umlaute.");
    return QString();
}

TranslationServiceDialog::TranslationServiceDialog(const ServiceChoice &current,
                                                   const QString &keyringNote, QWidget *parent)
    : QDialog(parent)
    , serviceBox(new QComboBox(this))
    , addressEdit(new QLineEdit(this))
    , keyEdit(new QLineEdit(this))
    , problemLabel(new QLabel(this))
    , m_choice(current)
    , m_addressHint(hintLabel(this))
    , m_keyHint(hintLabel(this))
    , m_keyLabel(new QLabel(QStringLiteral("&Schlüssel:"), this))
{
    setObjectName(QStringLiteral("TranslationServiceDialog"));
    setWindowTitle(QStringLiteral("Übersetzungsdienst"));
    for (const TranslationService service : services)
        serviceBox->addItem(serviceTitle(service), settingOf(service));
    addressEdit->setText(current.address);
    addressEdit->setClearButtonEnabled(true);
    // The key is a secret: never shown, not even to someone looking over
    // the user's shoulder.
    keyEdit->setEchoMode(QLineEdit::Password);
    keyEdit->setClearButtonEnabled(true);
    m_keyLabel->setBuddy(keyEdit);
    problemLabel->setWordWrap(true);
    problemLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    problemLabel->hide();

    auto *serviceLabel = new QLabel(QStringLiteral("&Dienst:"), this);
    serviceLabel->setBuddy(serviceBox);
    auto *addressLabel = new QLabel(QStringLiteral("&Adresse:"), this);
    addressLabel->setBuddy(addressEdit);
    auto *form = new QFormLayout;
    form->addRow(serviceLabel, serviceBox);
    form->addRow(addressLabel, addressEdit);
    form->addRow(QString(), m_addressHint);
    form->addRow(m_keyLabel, keyEdit);
    form->addRow(QString(), m_keyHint);

    auto *note = hintLabel(this);
    note->setText(keyringNote);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Übernehmen"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(problemLabel);
    layout->addWidget(buttons);
    setMinimumWidth(480);

    serviceBox->setCurrentIndex(int(current.service));
    showService(current.service);
    connect(serviceBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        // Each service keeps its own key while the dialog is open.
        m_choice.setKey(m_choice.service, keyEdit->text());
        showService(services[qBound(0, index, 2)]);
    });
}

TranslationService TranslationServiceDialog::shownService() const
{
    return services[qBound(0, serviceBox->currentIndex(), 2)];
}

void TranslationServiceDialog::showService(TranslationService service)
{
    m_choice.service = service;
    keyEdit->setText(m_choice.keyOf(service));
    const bool keyed = takesKey(service);
    keyEdit->setEnabled(keyed);
    m_keyLabel->setEnabled(keyed);
    problemLabel->hide();
    switch (service) {
    case TranslationService::Page:
        addressEdit->setPlaceholderText(defaults::translationPage);
        m_addressHint->setText(QStringLiteral(
            "Eine Seite, die wie die klassische Übersetzungsseite antwortet, bis einschließlich "
            "/translate_t. Leer: die klassische Seite."));
        keyEdit->setPlaceholderText(QString());
        m_keyHint->setText(QStringLiteral("Die Seite braucht keinen Schlüssel."));
        break;
    case TranslationService::LibreTranslate:
        addressEdit->setPlaceholderText(QStringLiteral("http://localhost:5000"));
        m_addressHint->setText(QStringLiteral(
            "Die Grundadresse des LibreTranslate-Servers, zum Beispiel http://localhost:5000 für "
            "einen eigenen."));
        keyEdit->setPlaceholderText(QStringLiteral("nur wenn der Server einen verlangt"));
        m_keyHint->setText(QStringLiteral("Nur nötig, wenn der Server einen API-Schlüssel "
                                          "verlangt."));
        break;
    case TranslationService::DeepL:
        addressEdit->setPlaceholderText(QStringLiteral("leer: nach dem Schlüssel"));
        m_addressHint->setText(QStringLiteral("Leer lassen: %1 für einen Schlüssel mit der Endung "
                                              ":fx (DeepL API Free), sonst %2.")
                                   .arg(deepLFreeAddress, deepLProAddress));
        keyEdit->setPlaceholderText(QStringLiteral("Authentifizierungsschlüssel"));
        m_keyHint->setText(QStringLiteral("Der Authentifizierungsschlüssel aus dem DeepL-Konto."));
        break;
    }
}

ServiceChoice TranslationServiceDialog::choice() const
{
    ServiceChoice choice = m_choice;
    choice.service = shownService();
    choice.address = addressEdit->text().trimmed();
    choice.setKey(choice.service, keyEdit->text());
    choice.libreTranslateKey = choice.libreTranslateKey.trimmed();
    choice.deepLKey = choice.deepLKey.trimmed();
    return choice;
}

void TranslationServiceDialog::accept()
{
    const QString problem = choiceProblem(choice());
    if (problem.isEmpty()) {
        QDialog::accept();
        return;
    }
    problemLabel->setText(problem);
    problemLabel->show();
}

} // namespace kelo
