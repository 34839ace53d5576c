#pragma once

#include <QFileDialog>

#include "recording/file_recorder.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace nereid::recording {
class CChannelTable;
class CRecorderMessages;
} // namespace nereid::recording

namespace nereid::display {

// The recording setup: a save-file dialog extended with the channel box ("Chan%i" per
// channel), "Enable Recording", "Comments" and "Recording Time" ... "Minutes". Edits the
// channel table's recording settings. A recording goes into one folder: the one the folder
// list shows when OK is pressed, or a folder typed into the file name box (a path, the name
// of a folder in the one shown, or a path ending in a file name such as "DChan1.dat"). OK keeps the dialog open on "Recording Time is not
// valid" and on a folder that is missing or takes no files (named in the message); otherwise
// every enabled channel gets that folder.
class CNameFileDlg : public QFileDialog {
public:
    CNameFileDlg(recording::RecordingForm form, recording::CChannelTable& table,
                 recording::CRecorderMessages* messages, QWidget* parent = nullptr);

    // "DaDisp Recording Setup", "CSS Recording Setup", "Seisan Recording Setup".
    static QString Title(recording::RecordingForm form);

    QString MinutesText() const;
    int EnabledChannels() const { return m_Enabled; }
    // The folder every enabled channel records into, after OK.
    QString Destination() const { return m_Destination; }

    // Shows a channel's values; first stores those of the channel shown so far (when its
    // "Enable Recording" is checked). False when the stored file name was empty or a typed
    // folder was refused: the previous channel stays selected.
    bool SelectChannel(int row);

    QComboBox* ChannelBox() const { return m_ChannelBox; }
    QCheckBox* EnableBox() const { return m_Enable; }
    QLineEdit* CommentsEdit() const { return m_Comments; }
    QLineEdit* MinutesEdit() const { return m_Minutes; }
    QLineEdit* FileNameEdit() const;

    void accept() override;

private:
    // When the file name box holds a folder rather than a name, makes it the folder shown and
    // puts the channel's name back (or the name typed after the folder): 1. 0 when it holds a name; kSetupBadFolder (message
    // shown) when it names a folder that does not exist.
    int TakeTypedFolder();
    int StoreShown();
    void ShowChannel(int row);
    void EnableFields(bool on);
    int ChannelNumber(int row) const;

    recording::CChannelTable& m_Table;
    recording::CRecorderMessages* m_Messages;
    QComboBox* m_ChannelBox;
    QCheckBox* m_Enable;
    QLineEdit* m_Comments;
    QLineEdit* m_Minutes;
    int m_Shown = -1;
    int m_Enabled = 0;
    QString m_Destination;
};

} // namespace nereid::display
