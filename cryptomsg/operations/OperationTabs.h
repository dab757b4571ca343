#pragma once

// What each operation reads and resets on its tab. The window implements these
// with its widgets; the command line with its arguments.

#include "cryptomsg/messages/OriginatorName.h"

#include <string>

namespace ordalis {

class SignTab {
public:
    virtual ~SignTab() = default;
    virtual std::string fileToSign() const = 0; // FileToSign
    virtual void clearFileToSign() = 0;         // empties FileToSign and Label2, disables Button1
    virtual bool packChecked() const = 0;       // CheckBox1 "Упаковать файлы 7zip"
    virtual bool base64Checked() const = 0;     // CheckBox2 "BASE64"
    virtual bool attachedChecked() const = 0;   // CheckBox3 "Прикрепленная"
    virtual void uncheckPack() = 0;
    virtual void uncheckBase64() = 0;
    virtual void uncheckAttached() = 0;
    // The command line signs a file as it reads it, of any size; the window
    // signs it whole, within its limit.
    virtual bool signsStreamed() const { return false; }
};

class VerifyTab {
public:
    virtual ~VerifyTab() = default;
    virtual std::string fileToVerify() const = 0;  // FileToVerify
    virtual std::string signatureFile() const = 0; // SignatureFile
    virtual void clearReport() = 0;                // empties Memo1
    virtual void appendReportLine(const std::string& line) = 0;
    // Empties Label1 and Label3, clears both slots, disables Button3.
    virtual void resetSelection() = 0;
};

class EncryptTab {
public:
    virtual ~EncryptTab() = default;
    virtual std::string fileToEncrypt() const = 0;       // FileToEncrypt
    virtual std::string certificateFile() const = 0;     // CertificateFile
    virtual bool certificateFromFileChecked() const = 0; // CheckBox4
    virtual void clearFileToEncrypt() = 0;
    virtual void clearCertificateFile() = 0;
    virtual void clearFileLabel() = 0;       // Label4
    virtual void disableEncryptButton() = 0; // Button7
    // Empties Label4 and Label6, disables Button7, unchecks CheckBox4, disables Button11.
    virtual void resetControls() = 0;
};

class DecryptTab {
public:
    virtual ~DecryptTab() = default;
    virtual std::string fileToDecrypt() const = 0; // FileToDecrypt
    // Clears FileToDecrypt, empties Label5, disables Button9.
    virtual void resetSelection() = 0;
    // Whether an envelope in PEM armour is read too: the command line's files; the window reads DER.
    virtual bool readsPemArmour() const { return false; }
    // Whether the envelope is decrypted as it is read, in memory that does not
    // grow with it (the command line); the window reads it whole.
    virtual bool decryptsStreamed() const { return false; }
    // The envelope could not be opened because it needs the sender's certificate,
    // which neither it nor the stores hold. The window says nothing more than
    // its Error report; the command line says which certificate to import.
    virtual void senderCertificateMissing(const OriginatorName&) {}
};

} // namespace ordalis
