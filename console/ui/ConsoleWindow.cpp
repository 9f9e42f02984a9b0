#include "console/ui/ConsoleWindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QSizeGrip>

#include "common/QtText.h"
#include "config/PlacementFit.h"
#include "config/WindowPlacementRecord.h"
#include "config/ui/ProgramSetupDialog.h"
#include "console/ui/IdentifierDialog.h"
#include "console/ui/SystemMenu.h"
#include "console/ui/TimeSetupDialog.h"
#include "ui_ConsoleWindow.h"
#include "widgets/AutoExtentListBox.h"
#include "widgets/CEditEx.h"
#include "widgets/GradientProgressBar.h"
#include "widgets/ShadedButton.h"
#include "widgets/ValueAccessible.h"

namespace vexlo {
namespace {

constexpr QRgb kBlue = qRgb(0, 0, 255);
// Padding, border and a little air around a switch's caption when it is on.
constexpr int kToggleRoom = 2 * 8 + 2 * 1 + 8;

// The command buttons with their pictures; "Read Time" and "Set Time" draw theirs at 24 x 24.
struct ButtonPicture {
    ShadedButton* Ui::ConsoleWindow::*button;
    const char* picture;
    int size;
};
constexpr ButtonPicture kButtonPictures[] = {
    {&Ui::ConsoleWindow::exitButton, "stop", 0},
    {&Ui::ConsoleWindow::resetButton, "stop", 0},
    {&Ui::ConsoleWindow::clearListButton, "clear", 0},
    {&Ui::ConsoleWindow::setupButton, "setup", 0},
    {&Ui::ConsoleWindow::startButton, "start", 0},
    {&Ui::ConsoleWindow::readLastResultButton, "result", 0},
    {&Ui::ConsoleWindow::listboxToFileButton, "tofile", 0},
    {&Ui::ConsoleWindow::readFifoButton, "fifo", 0},
    {&Ui::ConsoleWindow::selectProgButton, "program", 0},
    {&Ui::ConsoleWindow::idParameterButton, "program", 0},
    {&Ui::ConsoleWindow::readTimeButton, "readtime", 24},
    {&Ui::ConsoleWindow::setTimeButton, "settime", 24},
};
// Pictures of the command buttons at rest size.
constexpr int kButtonPictureSize = 20;

QIcon Art(const char* name) { return QIcon(QStringLiteral(":/art/%1.svg").arg(QLatin1String(name))); }

// What the lamp's colour means, for those who cannot see it.
QString LampWords(int row) {
    switch (row) {
        case kLampRed:
            return QStringLiteral("link failed");
        case kLampGreen:
            return QStringLiteral("link good");
        default:
            return QStringLiteral("not polling");
    }
}

}  // namespace

ConsoleWindow::ConsoleWindow(AppSettings& settings, QWidget* parent)
    : AnchoredDialog(parent),
      ui(std::make_unique<Ui::ConsoleWindow>()),
      serialUi(this),
      traceMirror(nullptr),
      resultMirror(nullptr) {
    ui->setupUi(this);
    traceMirror = ListMirror(ui->traceList);
    resultMirror = ListMirror(ui->resultList);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    ui->traceList->setFont(fixed);
    ui->resultList->setFont(fixed);
    setWindowIcon(Art("vexlo"));
    ui->statusPanel->SetPanelTextColour(QColor(kBlue));
    for (CEditEx* field :
         {ui->runningProgramDisplay, ui->fifoCountEdit, ui->testTypeEdit, ui->relayStatusEdit, ui->stepCodeEdit}) {
        field->SetTextColor(QColor(kBlue));
    }
    for (QWidget* field :
         std::initializer_list<QWidget*>{ui->statusPanel, ui->measure1Value, ui->measure1Unit, ui->measure2Value,
                                         ui->measure2Unit, ui->accessModeLabel, ui->statusGroup, ui->lamp}) {
        ExposeTextAsValue(field);
    }
    SetSpokenValue(ui->lamp, LampWords(kLampYellow));
    // The arrows of a "Prog n°" field are not in the tab chain: its editor carries the field's name.
    for (ProgramNumberField* field : {ui->timeProgramField, ui->runningProgramField}) {
        field->editor()->setAccessibleName(field->accessibleName());
    }
    // The two switches say at a glance that they are on, in bold: wide enough for the bold caption.
    for (QPushButton* toggle : {ui->realTimeStatusButton, ui->runningButton}) {
        toggle->setStyleSheet(QStringLiteral(
            "QPushButton:checked { background: #2e9e4f; color: white; font-weight: bold; border: 1px solid #1d6b34;"
            " border-radius: 2px; padding: 3px 8px; }"));
        QFont bold = toggle->font();
        bold.setBold(true);
        toggle->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(toggle->text()) + kToggleRoom);
    }
    ui->linkPicture->setPixmap(Art("link").pixmap(QSize(24, 24), devicePixelRatioF()));
    for (const ButtonPicture& entry : kButtonPictures) {
        (ui.get()->*entry.button)
            ->ApplyConsoleLook(QLatin1String(entry.picture), entry.size > 0 ? entry.size : kButtonPictureSize);
    }
    ui->progressBar->SetColourStops({QColor(255, 0, 0), QColor(255, 255, 0), QColor(0, 255, 0), QColor(0, 255, 255),
                                     QColor(0, 0, 255), QColor(255, 0, 255), QColor(255, 0, 0)});

    displays = {{Display::ComNumber, ui->comNumberEdit},
                {Display::Station, ui->stationEdit},
                {Display::Requests, ui->requestsEdit},
                {Display::Errors, ui->errorsEdit},
                {Display::TimeoutErrors, ui->timeoutsEdit},
                {Display::CrcErrors, ui->crcErrorsEdit},
                {Display::NegativeResponses, ui->negativeEdit},
                {Display::RunningProgram, ui->runningProgramDisplay},
                {Display::FifoCount, ui->fifoCountEdit},
                {Display::TestType, ui->testTypeEdit},
                {Display::RelayStatus, ui->relayStatusEdit},
                {Display::StepCode, ui->stepCodeEdit},
                {Display::Measure1, ui->measure1Value},
                {Display::Measure1Unit, ui->measure1Unit},
                {Display::Measure2, ui->measure2Value},
                {Display::Measure2Unit, ui->measure2Unit},
                {Display::ReadWord, ui->readWordEdit},
                {Display::ReadLong, ui->readLongEdit},
                {Display::ReadHex, ui->readHexEdit}};
    lights = {{StatusLight::Ok, ui->okLight},
              {StatusLight::TestReject, ui->rtLight},
              {StatusLight::ReferenceReject, ui->rrLight},
              {StatusLight::Alarm, ui->alLight},
              {StatusLight::EndOfCycle, ui->eocLight}};

    AnchorControls();
    FinishInitialisation();

    timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the idle time between ticks is a floor, not a target.
    timer.setTimerType(Qt::PreciseTimer);
    console = std::make_unique<TesterConsole>(settings, *this);
    connect(&timer, &QTimer::timeout, this, [this] { console->TimerTick(); });
    ConnectCommands();
    console->Initialise();
    LoadWindowPlacement();
}

ConsoleWindow::~ConsoleWindow() {
    if (!shutDown) console->Shutdown();
}

namespace {

// Turns a container's layout into fixed places: each direct child keeps the rectangle the layout gave
// it, and from then on only the anchors move it.
void FreezeLayout(QWidget* container, const QWidget* except = nullptr) {
    container->layout()->activate();
    std::vector<std::pair<QWidget*, QRect>> places;
    for (QWidget* child : container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child != except) places.emplace_back(child, child->geometry());
    }
    delete container->layout();
    for (const auto& [child, place] : places) child->setGeometry(place);
}

}  // namespace

void ConsoleWindow::AnchorControls() {
    const QSize opening = OpeningSize();
    resize(opening);
    layout()->setGeometry(QRect(QPoint(0, 0), opening));
    FreezeLayout(this, Grip());
    // The status group widens, but only its status text and progress bar widen with it: the fields,
    // lights and measures keep their places beside their captions.
    FreezeLayout(ui->statusGroup);
    resize(opening);

    using namespace anchors;
    for (QWidget* widens :
         std::initializer_list<QWidget*>{ui->statusGroup, ui->framesCaption, ui->statusPanel, ui->progressBar}) {
        AnchorControl(widens, kTopLeft, kTopRight);
    }
    AnchorControl(ui->commandGroup, kTopRight, kTopRight);
    AnchorControl(ui->traceList, kTopLeft, kBottomRight);
    AnchorControl(ui->resultList, kTopRight, kBottomRight);
    AnchorControl(ui->bottomCaption, kBottomLeft, kBottomRight);
    for (QWidget* bottomLeft : std::initializer_list<QWidget*>{ui->setupButton, ui->copyRecordButton}) {
        AnchorControl(bottomLeft, kBottomLeft);
    }
    for (QWidget* bottomRight : std::initializer_list<QWidget*>{ui->clearListButton, ui->listboxToFileButton,
                                                                ui->searchButton, ui->exitButton}) {
        AnchorControl(bottomRight, kBottomRight);
    }
}

QSize ConsoleWindow::OpeningSize() const {
    // The form's natural size, unless the screen is smaller (a laptop at 150 %): then as much as the
    // screen holds, never below what the form needs, with room left for the window's frame.
    const QSize natural = layout()->sizeHint().expandedTo(layout()->minimumSize());
    const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return natural;
    const QSize room = screen->availableGeometry().size() - QSize(kFrameAllowance, 2 * kFrameAllowance);
    return natural.boundedTo(room).expandedTo(layout()->minimumSize());
}

void ConsoleWindow::ConnectCommands() {
    TesterConsole* c = console.get();
    const auto on = [this](QPushButton* button, auto&& action) {
        connect(button, &QPushButton::clicked, this, action);
    };
    on(ui->startButton, [c] { c->StartCommand(); });
    on(ui->resetButton, [c] { c->ResetCommand(); });
    on(ui->clearFifoButton, [c] { c->ClearFifoCommand(); });
    on(ui->readLastResultButton, [c] { c->ReadLastResultCommand(); });
    on(ui->readFifoButton, [c] { c->ReadFifoCommand(); });
    on(ui->realTimeStatusButton, [c] { c->RealTimeStatusCommand(); });
    on(ui->runningButton, [this, c] { c->RunningCommand(ui->runningButton->isChecked()); });
    on(ui->readWordsButton, [c] { c->RawPanel().ReadWordsCommand(); });
    on(ui->writeWordButton, [c] { c->RawPanel().WriteWordCommand(); });
    on(ui->writeLongButton, [c] { c->RawPanel().WriteLongCommand(); });
    on(ui->clearListButton, [c] { c->ClearListsCommand(); });
    on(ui->listboxToFileButton, [c] { c->CopyTraceToFileCommand(); });
    on(ui->setupButton, [c] { c->SetupCommand(); });
    on(ui->searchButton, [c] { c->SearchCommand(); });
    on(ui->readTimeButton, [c] { c->ReadTimeCommand(); });
    on(ui->setTimeButton, [c] { c->SetTimeCommand(); });
    on(ui->selectProgButton, [c] { c->SelectProgCommand(); });
    on(ui->read20Button, [c] { c->ReadTwentyCommand(); });
    on(ui->write20Button, [c] { c->WriteTwentyCommand(); });
    on(ui->copyRecordButton, [c] { c->CopyRecordCommand(); });
    on(ui->idParameterButton, [c] { c->IdentifierCommand(); });
    on(ui->curveInfoButton, [c] { c->CurveInfoCommand(); });
    on(ui->electReg1Button, [c] { c->RegulatorCommand(true); });
    on(ui->electReg2Button, [c] { c->RegulatorCommand(false); });
    on(ui->exitButton, [this] { reject(); });
}

QLineEdit* ConsoleWindow::EntryEdit(Entry entry) const {
    switch (entry) {
        case Entry::ReadAddress:
            return ui->readAddressEdit;
        case Entry::WordCount:
            return ui->wordCountEdit;
        case Entry::WriteAddress:
            return ui->writeAddressEdit;
        case Entry::WriteWord:
            return ui->writeWordEdit;
        case Entry::WriteLong:
            return ui->writeLongEdit;
        case Entry::TimeProgram:
            return ui->timeProgramField->editor();
        case Entry::RunningProgram:
            return ui->runningProgramField->editor();
        case Entry::InterCycle:
            return ui->interCycleEdit;
    }
    return nullptr;
}

std::string ConsoleWindow::EntryText(Entry entry) const { return ToText(EntryEdit(entry)->text()); }

void ConsoleWindow::SetEntryText(Entry entry, const std::string& text) { EntryEdit(entry)->setText(FromText(text)); }

bool ConsoleWindow::IsChecked(Option option) const {
    switch (option) {
        case Option::RealTimeStatus:
            return ui->realTimeStatusButton->isChecked();
        case Option::VexloErd:
            return ui->erdCheck->isChecked();
        case Option::ReadFifo:
            return ui->readFifoCheck->isChecked();
        case Option::ReadInputRegister:
            return ui->inputRegisterCheck->isChecked();
        case Option::SwapWord:
            return ui->swapWordCheck->isChecked();
        case Option::WriteBit:
            return ui->writeBitCheck->isChecked();
    }
    return false;
}

void ConsoleWindow::SetDisplayText(Display display, const std::string& text) {
    QWidget* widget = displays.at(display);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(FromText(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && label->text() != FromText(text)) {
        label->setText(FromText(text));
        AnnounceValue(label);
    }
}

void ConsoleWindow::SetStatusText(const std::string& text) {
    if (ui->statusPanel->text() == FromText(text)) return;
    ui->statusPanel->setText(FromText(text));
    AnnounceValue(ui->statusPanel);
}

std::string ConsoleWindow::StatusCaption() const { return ToText(ui->statusGroup->title()); }

void ConsoleWindow::SetStatusCaption(const std::string& text) {
    if (ui->statusGroup->title() == FromText(text)) return;
    ui->statusGroup->setTitle(FromText(text));
    AnnounceValue(ui->statusGroup);
}

void ConsoleWindow::SetAccessModeLabel(const std::string& text) {
    if (ui->accessModeLabel->text() == FromText(text)) return;
    ui->accessModeLabel->SetCaptionText(FromText(text));
    AnnounceValue(ui->accessModeLabel);
}

void ConsoleWindow::SetLamp(int row, int column, int rowOffset) {
    ui->lamp->SetLamp(row, column, rowOffset);
    SetSpokenValue(ui->lamp, LampWords(row));
}

void ConsoleWindow::SetLampRow(int row) {
    ui->lamp->SetRow(row);
    SetSpokenValue(ui->lamp, LampWords(row));
}

void ConsoleWindow::SetLight(StatusLight light, bool lit) {
    QCheckBox* box = lights.at(light);
    if (box->isChecked() != lit) box->setChecked(lit);
}

void ConsoleWindow::SetCycleAnimation(bool on) {
    GradientProgressBar* bar = ui->progressBar;
    if (on) {
        bar->SetRange(500, 600);
        // The default step of 10 fills the bar after ten of the hundred steps.
        for (int i = 0; i < 100; ++i) bar->StepIt();
        bar->SetScrollStep(1);
        bar->StartAnimation(GradientProgressBar::kAnimationIntervalMs);
    } else {
        bar->SetPosition(500);
        bar->repaint();
        bar->ClearScrollPhase();
        // An empty bar shows no phase: no need to keep ticking.
        bar->StopAnimation();
    }
}

void ConsoleWindow::EnableCommandGroup(bool enabled) { ui->commandGroup->setEnabled(enabled); }

void ConsoleWindow::StartTimer(int periodMs) { timer.start(periodMs); }

void ConsoleWindow::StopTimer() { timer.stop(); }

void ConsoleWindow::ShowMessage(const std::string& text, MessageKind kind) {
    const QString title = QApplication::applicationName();
    switch (kind) {
        case MessageKind::Stop:
            QMessageBox::critical(this, title, FromText(text));
            break;
        case MessageKind::Information:
            QMessageBox::information(this, title, FromText(text));
            break;
        case MessageKind::Warning:
            QMessageBox::warning(this, title, FromText(text));
            break;
    }
}

void ConsoleWindow::ShowMessageLater(const std::string& text, MessageKind kind) {
    QTimer::singleShot(0, this, [this, text, kind] { ShowMessage(text, kind); });
}

bool ConsoleWindow::AskYesNo(const std::string& text) {
    return QMessageBox::question(this, QApplication::applicationName(), FromText(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void ConsoleWindow::ShowValidationPrompt(Entry entry, const std::string& text) {
    QMessageBox::warning(this, QApplication::applicationName(), FromText(text));
    QLineEdit* edit = EntryEdit(entry);
    edit->setFocus();
    edit->selectAll();
}

void ConsoleWindow::BeginWait() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void ConsoleWindow::EndWait() { QApplication::restoreOverrideCursor(); }

bool ConsoleWindow::RunProgramSetup(AppSettings& settings) {
    ProgramSetupDialog dialog(settings, this);
    return dialog.exec() == QDialog::Accepted;
}

void ConsoleWindow::RunTimeSetup(int programNumber) {
    TimeSetupDialog dialog(*console, programNumber, this);
    dialog.exec();
}

void ConsoleWindow::RunIdentifierDialog() {
    IdentifierDialog dialog(*console, this);
    dialog.exec();
}

void ConsoleWindow::AddAboutEntry(const QString& text, std::function<void()> open) {
    aboutText = text;
    openAbout = std::move(open);
    (void)AddSystemMenuEntry(this, text, kAboutCommand);
}

void ConsoleWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr("Results history..."), this, [this] { OpenHistory(); });
    if (!aboutText.isEmpty()) menu.addAction(aboutText, this, [this] { OpenAbout(); });
    menu.exec(event->globalPos());
}

HistoryWindow& ConsoleWindow::OpenHistory() {
    if (!historyWindow) historyWindow = std::make_unique<HistoryWindow>(console->History(), &console->Recorder());
    historyWindow->show();
    historyWindow->raise();
    historyWindow->activateWindow();
    return *historyWindow;
}

void ConsoleWindow::StatusShown(const StatusRecord& status) {
    if (historyWindow) historyWindow->AddStatus(status);
}

bool ConsoleWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (IsSystemMenuCommand(message, kAboutCommand)) {
        OpenAbout();
        *result = 0;
        return true;
    }
    return AnchoredDialog::nativeEvent(eventType, message, result);
}

void ConsoleWindow::keyPressEvent(QKeyEvent* event) {
    // Shift+F10 opens the context menu over the window, as the Menu key does.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(width() / 2, height() / 2),
                               mapToGlobal(QPoint(width() / 2, height() / 2)));
        contextMenuEvent(&menu);
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier) {
        // On a push button Enter presses it; elsewhere it is the dialog's OK: take the entries and
        // close when they all pass.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else if (console->AcceptCommand()) {
            accept();
        }
        return;
    }
    AnchoredDialog::keyPressEvent(event);
}

void ConsoleWindow::done(int result) {
    if (!shutDown) {
        console->Shutdown();
        SaveWindowPlacement();
        shutDown = true;
    }
    AnchoredDialog::done(result);
}

void ConsoleWindow::LoadWindowPlacement() {
    QSettings store;
    store.beginGroup(kPlacementSection);
    const QByteArray bytes = store.value("WindowPlacement").toByteArray();
    store.endGroup();
    const auto record = WindowPlacementRecord::Decode(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    if (!record) return;
    // A record from another screen layout must not put the window out of reach.
    std::vector<EdgeRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        screens.push_back({area.left(), area.top(), area.left() + area.width(), area.top() + area.height()});
    }
    if (const auto fitted = FitOntoScreens(*record, screens)) {
        setGeometry(static_cast<int>(fitted->left), static_cast<int>(fitted->top), static_cast<int>(fitted->Width()),
                    static_cast<int>(fitted->Height()));
    }
    if (record->showCommand == 3) setWindowState(windowState() | Qt::WindowMaximized);
}

void ConsoleWindow::SaveWindowPlacement() {
    WindowPlacementRecord record;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    record.showCommand = isMaximized() ? 3 : 1;
    record.left = normal.left();
    record.top = normal.top();
    record.right = normal.left() + normal.width();
    record.bottom = normal.top() + normal.height();
    const auto bytes = record.Encode();
    QSettings store;
    store.beginGroup(kPlacementSection);
    store.setValue("WindowPlacement",
                   QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())));
    store.endGroup();
}

}  // namespace vexlo
