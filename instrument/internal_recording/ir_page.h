#pragma once

#include <array>
#include <functional>
#include <string>

#include "instrument/internal_recording/model/ir_fields.h"
#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/internal_recording/model/ir_sheet_models.h"
#include "instrument/sheet/model/drive_names.h"
#include "instrument/sheet/sheet_page.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;

namespace nereid::instrument {

// The base of the Internal Recording pages but "Station Name ": a page with a "Storage
// Drive:" combo box listing the installed drives of the drive-name table.
class CIRPage : public CSheetPage {
    Q_OBJECT
public:
    // `page` is the page's place in the sheet (IRPage).
    CIRPage(CIRSetupModel& setup, int page, QWidget* parent = nullptr);

    // Model values into the controls, and the controls (corrected as when an edit is left)
    // into the model.
    void Refresh() override = 0;
    virtual void ReadControls() = 0;
    int Collect(std::string& message) override;
    // Channel rows 1..6 not in the main window's channel list are hidden.
    virtual void SetStreamCount(int) {}

    void SetDriveNames(const CDriveNames* names) { m_Names = names; }
    QComboBox* DriveCombo() const { return m_Drive; }

signals:
    void modified();
    void message(const QString& caption, const QString& text);

protected:
    // Fills the drive list and selects the name of drive `index`.
    void ShowDrive(int index);
    // The drive index of the chosen name; `current` when nothing is chosen.
    int ChosenDrive(int current) const;
    // Every edit, box and list of the page reads the controls and marks the page modified.
    void Watch(QWidget* control);
    void Changed();
    // Reads a whole-number edit through `correct` (the page's correction). A correction or an
    // entry that is not a number is noted: the first note of a reading is shown once the page
    // has redisplayed its values, and the focus returns to that edit.
    long long ReadEntry(QLineEdit* edit, const std::string& field, long long current,
                        const std::function<long long(long long)>& correct);

    bool m_Refreshing = false;

private:
    void ShowNote();
    friend struct CIRDateEdits;

    QLineEdit* m_NoteEdit = nullptr;
    std::string m_Note;
    bool m_ShowingNote = false;

    CIRPageAdapter m_Adapter;
    const CDriveNames* m_Names = nullptr;
    QComboBox* m_Drive = nullptr;

protected:
    QGridLayout* m_Grid = nullptr; // the page's layout; row 0 holds "Storage Drive:"
};

// Month / day / year [hour : minute [: second]] edits of a start time.
struct CIRDateEdits {
    std::array<QLineEdit*, 6> edits{}; // month, day, year, hour, minute, second
    QWidget* box = nullptr;
    void Build(QWidget* parent, bool withSeconds);
    void Show(const IRDateTime& t);
    // Corrected as on leaving each edit; `page` notes each correction ("<what> month" ...).
    IRDateTime Read(const IRDateTime& current, CIRPage& page, const std::string& what) const;
};

// "Channels to Record:" primary and secondary check boxes of channels 1..6.
struct CIRChannelBoxes {
    std::array<QCheckBox*, 6> primary{};
    std::array<QCheckBox*, 6> secondary{};
    std::array<QWidget*, 6> headers{};
    QWidget* box = nullptr;
    void Build(QWidget* parent);
    void Show(const IRChannels& c);
    IRChannels Read() const;
    void SetStreamCount(int n);
};

} // namespace nereid::instrument
