// The small dialog behind a right click on a translation flag: which
// service translates (the classic page, LibreTranslate or DeepL), its
// address and its key. It only edits a choice; storing it is the caller's.
#pragma once

#include "services/translationservice.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;

namespace kelo {

struct ServiceChoice {
    TranslationService service = TranslationService::Page;
    QString address; // the setting "Uebersetzungsseite"; "" for the service's default
    QString libreTranslateKey;
    QString deepLKey;

    QString key() const { return keyOf(service); }
    QString keyOf(TranslationService of) const;
    void setKey(TranslationService of, const QString &key);
};

// Why the choice cannot be used, in German; "" when it can.
QString choiceProblem(const ServiceChoice &choice);

class TranslationServiceDialog : public QDialog {
    Q_OBJECT

public:
    // keyringNote: what keeping a key means here (in the keyring, or for
    // this run only when no keyring answered).
    TranslationServiceDialog(const ServiceChoice &current, const QString &keyringNote,
                             QWidget *parent = nullptr);

    // The choice as edited, addresses and keys without blanks around them.
    ServiceChoice choice() const;

    // Closes only with a usable choice; otherwise names the problem.
    void accept() override;

    QComboBox *serviceBox;
    QLineEdit *addressEdit;
    QLineEdit *keyEdit;
    QLabel *problemLabel;

private:
    void showService(TranslationService service);
    TranslationService shownService() const;

    ServiceChoice m_choice; // the keys of the services not shown
    QLabel *m_addressHint;
    QLabel *m_keyHint;
    QLabel *m_keyLabel;
};

} // namespace kelo
