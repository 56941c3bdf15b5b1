// The association of a file extension with Kelo: the extension key, its file
// type with an "open" command and a default icon in the key store, mirrored
// onto the desktop so that Kelo becomes the default application for the
// extension's type.
#pragma once

#include "services/keystore.h"

#include <QString>

#include <optional>

namespace kelo {

class DesktopMirror;
class MessageBoxes;

// The extension key X and the type name T of an extension as typed: txt,
// .txt, TXT and .TXT all give ".txt" and "txtfile"; a lone "." gives "." and
// "file". Nothing is trimmed.
struct ExtensionKeys {
    QString X;
    QString T;
};
ExtensionKeys deriveExtensionKeys(const QString &E);

// Why an extension cannot be associated, in German, or nothing. Blanks and
// letters of every language are accepted; what a file name or a file-name
// glob cannot hold, or what would make a key path or a glob mean something
// else, is refused.
std::optional<QString> extensionProblem(const QString &E);

class FileTypeAssociation {
public:
    // programFile: the running program's file, which the open command starts.
    FileTypeAssociation(KeyStore &store, DesktopMirror &mirror, MessageBoxes &messages,
                        QString programFile);

    // Associates the extension and shows what was written, or a stop box with
    // what was refused or what failed. True when the association took effect.
    // A program the desktop files cannot name (desktop::programProblem)
    // writes nothing.
    bool DateitypVerknuepfen(const QString &E);

    // Sets one string value of a key, creating the key where missing.
    long RegStringSchreiben(reg::HKEY root, const QString &keyPath, const QString &valueName,
                            const QString &data);

private:
    KeyStore &m_store;
    DesktopMirror &m_mirror;
    MessageBoxes &m_messages;
    QString m_programFile;
};

} // namespace kelo
