#pragma once

#include <QDialog>
#include <QStringList>

#include "recording/mseed_packer.h"

class QButtonGroup;
class QListWidget;

namespace nereid::shell {

class CFolderPanel;

// "File Translate": HLCP files recorded by the instrument, chosen in the source panel, are
// translated into the chosen form in the destination panel's folder.
class CTranslateDialog : public QDialog {
public:
    explicit CTranslateDialog(QWidget* parent = nullptr);

    CFolderPanel* Source() const { return m_Source; }
    CFolderPanel* Destination() const { return m_Destination; }
    // The chosen HlcpTranslator form, 0..5.
    int Form() const;
    void SetForm(int form);
    // Network code and component letters of the miniSEED form.
    void SetMseedOptions(recording::SMseedOptions options) { m_Mseed = std::move(options); }
    // The OK button: translates every selected source file. Returns the number written.
    int Translate();
    // The output names produced by the translations of this dialog, newest last.
    QStringList Outputs() const { return m_Outputs; }

private:
    CFolderPanel* m_Source;
    CFolderPanel* m_Destination;
    QButtonGroup* m_Forms;
    QStringList m_Outputs;
    recording::SMseedOptions m_Mseed;
};

} // namespace nereid::shell
