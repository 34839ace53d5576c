#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "instrument/sheet/model/page_sets.h"
#include "instrument/sheet/model/sheet_context.h"
#include "instrument/sheet/model/sheet_cycle.h"

class QPushButton;
class QTabWidget;

namespace nereid::link {
struct CommandRecord;
struct FrameRecord;
} // namespace nereid::link

namespace nereid::instrument {

class CResultIndicator;
class CSheetPage;

// The base of every instrument sheet: a modal QDialog with a QTabWidget of pages, the
// relabelled buttons along the bottom, the result indicator at the bottom left and the
// send-and-wait cycle on a 100 ms QTimer through the link's transaction engine.
//
// A derived sheet adds all its pages in its constructor (AddPage); the first opening removes
// those that do not apply to the model code it sees then, and later openings keep that set.
class CPropertySheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPollMs = 100;

    CPropertySheet(SheetKind kind, const QString& caption, const SheetContext& context,
                   QWidget* parent = nullptr);
    ~CPropertySheet() override;

    // Runs the opening steps (page set on the first opening, buttons, indicator, the sheet's
    // first action) and shows the sheet modally without blocking (tests, scripted use).
    void Open();
    // Runs the opening steps and the modal loop; returns QDialog's result.
    int Exec();

    SheetKind Kind() const { return m_Kind; }
    const SheetContext& Context() const { return m_Context; }
    // The model code seen at the first opening (0 before it), and whether it was seen.
    int LatchedModelCode() const { return m_Latch.ModelCode(); }
    bool Latched() const { return m_Latch.Latched(); }

    // Pages in tab order as shown now.
    int PageCount() const;
    std::vector<int> PageIds() const;
    CSheetPage* PageAt(int index) const;
    // The page with this dialog identifier, or nullptr when the sheet does not show it.
    CSheetPage* Page(int dialogId) const;
    CSheetPage* ActivePage() const;
    // Makes the page active (as a click on its tab does). Returns false when it is not shown.
    bool ActivatePage(int dialogId);
    QTabWidget* Tabs() const { return m_Tabs; }

    // Starts one transaction: indicator waiting, SendCommand, poll counter 0, 100 ms timer,
    // wait cursor. A transaction still waiting is replaced. Returns what SendCommand returned.
    int Transact(std::uint8_t code, const link::CommandRecord& record);
    int TransactQuery(std::uint8_t code);
    // The execute/send/refresh button: the active page collects and prepares its command and
    // the sheet sends it; a refused entry shows the framework's message and sends nothing.
    void Execute();
    // Hides the result of the last finished transaction (nothing while one waits).
    void ClearResult();
    // One tick of the poll timer (the timer calls it; tests may call it directly).
    void PollTick();
    bool PollTimerActive() const { return m_PollActive; }
    CSheetCycle& Cycle() { return m_Cycle; }
    CResultIndicator* Indicator() const { return m_Indicator; }

    QPushButton* ApplyButton() const { return m_Apply; }
    QPushButton* CloseButton() const { return m_Close; }
    // nullptr on sheets without a HELP button (Status).
    QPushButton* HelpButton() const { return m_Help; }

    // The topic of a help request on the tab strip at `pos` (sheet coordinates); 0 outside
    // every band.
    int TabStripTopicAt(const QPoint& pos) const;
    // The topic of an F1 or help-cursor request on `control` of the active page.
    unsigned HelpTopicFor(const QWidget* control) const;
    // Shows a topic in the help viewer (nothing for topic 0).
    void ShowHelp(unsigned topic);

    // Tests drive the timers by hand: with manual ticks on, the 100 ms and 6 s timers are not
    // started (their state is still kept) and PollTick / the sheet's refresh tick are called
    // by the test.
    static void SetManualTicks(bool manual);
    static bool ManualTicks();

    // True while the opening steps run (a page's activation may skip its query then).
    bool Opening() const { return m_Opening; }

protected:
    // The sheet's first action at every opening (Status: hardware query and refresh timer;
    // Configuration: configuration query; Command: nothing).
    virtual void OnOpening() {}
    // An accepted answer, before "Accepted" shows. The default hands it to the active page.
    virtual void OnAnswer(std::uint8_t code, const link::FrameRecord& answer);
    // A transaction finished with a link::TransactionResult.
    virtual void OnFinished(int result);
    // The sheet is closing (CLOSE, Escape, window close); timers are already stopped.
    virtual void OnClosing() {}
    // Relabels the buttons; an empty help text means no HELP button.
    void SetButtonTexts(const QString& apply, const QString& close, const QString& help);

    void AddPage(CSheetPage* page);
    // Starts or stops a timer unless ticks are manual; `active` keeps the logical state.
    static void RunTimer(QTimer& timer, bool run, bool& active);

    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void RunOpeningSteps();
    void LayoutChrome();
    void OnTabChanged(int index);
    void EndWait();

    SheetKind m_Kind;
    SheetContext m_Context;
    CPageSetLatch m_Latch;
    CSheetCycle m_Cycle;
    std::vector<CSheetPage*> m_AllPages; // every page the constructor created, owned by Qt
    QTabWidget* m_Tabs = nullptr;
    CResultIndicator* m_Indicator = nullptr;
    QPushButton* m_Apply = nullptr;
    QPushButton* m_Close = nullptr;
    QPushButton* m_Help = nullptr;
    QTimer m_PollTimer;
    bool m_PollActive = false;
    bool m_WaitCursor = false;
    bool m_Opening = false;
};

} // namespace nereid::instrument
