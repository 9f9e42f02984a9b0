#pragma once

#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "console/ConsoleView.h"
#include "console/TesterConsole.h"
#include "console/ui/ListMirror.h"
#include "console/ui/QtSerialUi.h"
#include "history/ui/HistoryWindow.h"
#include "widgets/AnchoredDialog.h"

namespace Ui {
class ConsoleWindow;
}
class QLineEdit;
class QCheckBox;
class QPushButton;

namespace vexlo {

// The console's one window (CVexloModbusTesterDlg): lays out the controls of the form, shows what
// the console logic tells it, and forwards clicks and timer ticks to it.
class ConsoleWindow final : public AnchoredDialog, public ConsoleView {
    Q_OBJECT
public:
    static constexpr const char* kPlacementSection = "VexloModbusTestertPos";

    explicit ConsoleWindow(AppSettings& settings, QWidget* parent = nullptr);
    ~ConsoleWindow() override;

    TesterConsole& Console() { return *console; }
    // The About entry: in the system menu where the platform has one, and in the console's context
    // menu (right click on the background, Shift+F10) everywhere. open runs the About box.
    void AddAboutEntry(const QString& text, std::function<void()> open);
    const QString& AboutEntryText() const { return aboutText; }
    void OpenAbout() {
        if (openAbout) openAbout();
    }
    QTimer& StatusTimer() { return timer; }
    // "Results history...": the non-modal history window, made on first use.
    HistoryWindow& OpenHistory();

    // ConsoleView
    std::string EntryText(Entry entry) const override;
    void SetEntryText(Entry entry, const std::string& text) override;
    bool IsChecked(Option option) const override;
    void SetDisplayText(Display display, const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    std::string StatusCaption() const override;
    void SetStatusCaption(const std::string& text) override;
    void SetAccessModeLabel(const std::string& text) override;
    void SetLamp(int row, int column, int rowOffset) override;
    void SetLampRow(int row) override;
    void SetLight(StatusLight light, bool lit) override;
    void SetCycleAnimation(bool on) override;
    void EnableCommandGroup(bool enabled) override;
    void StartTimer(int periodMs) override;
    void StopTimer() override;
    void ShowMessage(const std::string& text, MessageKind kind) override;
    void ShowMessageLater(const std::string& text, MessageKind kind) override;
    bool AskYesNo(const std::string& text) override;
    void ShowValidationPrompt(Entry entry, const std::string& text) override;
    void BeginWait() override;
    void EndWait() override;
    bool RunProgramSetup(AppSettings& settings) override;
    void RunTimeSetup(int programNumber) override;
    void RunIdentifierDialog() override;
    TraceListObserver* TraceObserver() override { return &traceMirror; }
    TraceListObserver* ResultObserver() override { return &resultMirror; }
    void StatusShown(const StatusRecord& status) override;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void ConnectCommands();
    // From the form's layout to anchors: the layout gives the opening size and places, the anchors
    // move and stretch the controls from then on.
    void AnchorControls();
    // The size the window opens at: the form's natural size, fitted to the screen it opens on.
    QSize OpeningSize() const;
    QLineEdit* EntryEdit(Entry entry) const;
    void LoadWindowPlacement();
    void SaveWindowPlacement();

    std::unique_ptr<Ui::ConsoleWindow> ui;
    QtSerialUi serialUi;
    ListMirror traceMirror;
    ListMirror resultMirror;
    QTimer timer;
    std::map<Display, QWidget*> displays;
    std::map<StatusLight, QCheckBox*> lights;
    std::unique_ptr<TesterConsole> console;
    // Goes before the console it watches.
    std::unique_ptr<HistoryWindow> historyWindow;
    bool shutDown = false;
    QString aboutText;
    std::function<void()> openAbout;
    // The system command of the About entry.
    static constexpr unsigned kAboutCommand = 16;
    // What the window manager's title bar and borders take around the window, at most.
    static constexpr int kFrameAllowance = 40;
};

}  // namespace vexlo
