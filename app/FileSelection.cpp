// The handlers that fill the window's file-name slots.

#include "app/TForm1.h"

#include "app/ControlUpdate.h"
#include "app/FileSizeCheck.h"
#include "common/UserTexts.h"

#include <QCheckBox>
#include <QPushButton>

namespace ordalis {

std::optional<std::string> TForm1::runOpenDialog(OpenDialogState& dialog)
{
    auto chosen = m_desktop.chooseOpenFile({dialog.name, dialog.filter, dialog.lastName});
    if (chosen)
        dialog.lastName = *chosen;
    return chosen;
}

// A cancel keeps the slot's earlier value, which is measured again; an empty
// slot is measured as the empty name and fails. The button is only ever enabled here.
void TForm1::selectWithSizeCheck(OpenDialogState& dialog, std::string& slot, PathLabel* label, QPushButton* button)
{
    if (auto chosen = runOpenDialog(dialog))
        slot = std::move(*chosen);
    if (!FileSizeOk(slot)) {
        slot.clear();
        m_desktop.showNotice(texts::kFileTooLarge, NoticeKind::Failure);
    }
    SetCaptionNow(label, slot);
    if (button != nullptr && !slot.empty())
        SetEnabledNow(button, true);
}

// A cancel leaves the slot empty. Verification needs both files; Button3 is
// only ever enabled here.
void TForm1::selectWithoutSizeCheck(OpenDialogState& dialog, std::string& slot, PathLabel* label)
{
    slot.clear();
    if (auto chosen = runOpenDialog(dialog))
        slot = std::move(*chosen);
    SetCaptionNow(label, slot);
    if (!FileToVerify.empty() && !SignatureFile.empty())
        SetEnabledNow(Button3, true);
}

void TForm1::Button2Click(QObject*) { selectWithSizeCheck(OpenDialog2, FileToSign, Label2, Button1); }
void TForm1::Button6Click(QObject*) { selectWithSizeCheck(OpenDialog4, FileToEncrypt, Label4, Button7); }
void TForm1::Button8Click(QObject*) { selectWithSizeCheck(OpenDialog5, FileToDecrypt, Label5, Button9); }
void TForm1::Button11Click(QObject*) { selectWithSizeCheck(OpenDialog6, CertificateFile, Label6, nullptr); }
void TForm1::Button4Click(QObject*) { selectWithoutSizeCheck(OpenDialog1, FileToVerify, Label1); }
void TForm1::Button5Click(QObject*) { selectWithoutSizeCheck(OpenDialog3, SignatureFile, Label3); }

// The certificate file stays chosen while the box is off, and is used again
// when it is ticked once more.
void TForm1::CheckBox4Click(QObject*)
{
    SetCaptionNow(Label6, {});
    SetEnabledNow(Button11, CheckBox4->isChecked());
}

} // namespace ordalis
