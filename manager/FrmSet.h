#pragma once

#include "manager/ManagerRules.h"
#include "storage/AppPaths.h"

#include <QDate>
#include <QHash>
#include <QLabel>
#include <QWidget>

#include <functional>
#include <optional>

class CharacterControl;
class ModClock;
class MonthView;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTimer;
class QToolButton;
class SettingsStore;
struct Services;

// A label that reports a click, for the captions that toggle their tick box
// or stand for a button.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// A combo box whose list is always open: a read-only line over the list
// showing the line the user chose, without its key. Only a line chosen in
// the list counts as chosen; what the top line shows never does.
class OpenListCombo : public QWidget
{
    Q_OBJECT
public:
    explicit OpenListCombo(QWidget *parent = nullptr);
    QString text() const;
    void setText(const QString &text);
    void addItem(const QString &line);
    int count() const;
    QString item(int row) const;
    // The whole line (key first) the user chose; empty when none is.
    QString chosenLine() const;
    // Selects a line as a click does, and raises `clicked`.
    void clickItem(int row);
    // Selects a line again after the list was rebuilt, without a click.
    void chooseQuietly(int row);
    // No lines and no choice.
    void clearLines();
    // Keeps the lines clear of a control that covers the left of the list.
    void setLeftMargin(int pixels);

    QLineEdit *edit = nullptr;
    QListWidget *list = nullptr;

signals:
    void clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    int m_leftMargin = 0;
    bool m_quiet = false;
};

// The appointment manager: a new appointment on its first tab, the stored
// ones on its second, with preview, delete and print. It never edits its
// list in place: a save or delete writes the file and opens a fresh window.
class FrmSet : public QWidget
{
    Q_OBJECT
public:
    // What the calendar window offers the manager.
    struct Host
    {
        std::function<void()> hideCalendar;
        std::function<void()> showCalendar;
        std::function<double()> twipsPerPixel;
        // reshowset of the calendar window: a fresh manager.
        std::function<void()> reshowset;
        // Starts the restart program and unloads the calendar; false when
        // the restart program cannot be started.
        std::function<bool()> restartProgram;
        // The calendar's unload is under way: the manager closes quietly.
        std::function<bool()> calendarUnloading;
    };

    FrmSet(Services &services, SettingsStore &settings, ModClock &modClock, AppPaths paths,
        CharacterControl &character, Host host, QWidget *parent = nullptr);
    ~FrmSet() override;

    // The opening sequence; an unreadable data file leaves the list empty.
    void Form_Load();
    // The closing sequence; the window is deleted afterwards.
    void Form_Unload();
    void SSTab1_Click(int tab);
    void save();
    void Combo1_Click();
    void com_del_Click();
    void Command1_Click();
    // Appointments in from an iCalendar file, and all of them out to one.
    void cmdImport_Click();
    void cmdExport_Click();
    // Exit by any of its three controls.
    void exitManager();

    // The window's size in twips, as the tab in use sets it.
    int formWidth() const { return m_formWidth; }
    int formHeight() const { return m_formHeight; }
    bool unloaded() const { return m_unloaded; }
    // Reads the data file for the list; tests make it fail.
    std::function<std::optional<QByteArray>(const QString &path)> readFile;

    // Members of the window, afresh for each opening.
    bool helpOn = false;
    bool dateHintGiven = false;
    bool dragging = false;
    qint32 grabX = 0;
    qint32 grabY = 0;
    float dragLeft = 0;
    float dragTop = 0;

    // Controls, named as the rest of the program knows them.
    QWidget *SSTab1 = nullptr;
    QTabBar *tabs = nullptr;
    QStackedWidget *pages = nullptr;
    MonthView *cal = nullptr;
    QGroupBox *Frame2 = nullptr;
    QComboBox *com_hr = nullptr;
    QComboBox *com_min = nullptr;
    QComboBox *com_am = nullptr;
    QGroupBox *Frame1 = nullptr;
    QComboBox *com_repeat = nullptr;
    QCheckBox *chk_confirm = nullptr;
    ClickLabel *Label2 = nullptr;
    QCheckBox *chk_warn = nullptr;
    ClickLabel *Label3 = nullptr;
    QCheckBox *chk_help = nullptr;
    ClickLabel *Label4 = nullptr;
    QToolButton *Picture2 = nullptr;
    ClickLabel *lab_exit = nullptr;
    QToolButton *Picture3 = nullptr;
    ClickLabel *lab_save = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *lab_room = nullptr;
    QPlainTextEdit *txt_message = nullptr;
    OpenListCombo *Combo1 = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QPushButton *com_del = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *cmdImport = nullptr;
    QPushButton *cmdExport = nullptr;

signals:
    // After the closing sequence; the owner lets go of the window.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildTab0(QWidget *page);
    void buildTab1(QWidget *page);
    void place(
        QWidget *widget, double left, double top, double width, double height, bool onPage = true);
    void setFormSize(int width, int height, int tabWidth, int tabHeight);
    void placeCharacter();
    void fillChoices();
    void setDefaultTime();
    // Fills the list from the file, keeping the chosen line when it is
    // still there; a quiet build tries once and tells nothing.
    bool buildList(bool quiet);
    void watchDataFile();
    void markTimeField(QComboBox *box, manager::TimeField field, const QString &tip);
    void helpChange(bool helpOff);
    void speakHelp(QObject *control);
    void limitMessage();
    void storePosition();
    void beep();
    QString dataFile() const { return m_paths.dataFile(); }

    Services &m_services;
    SettingsStore &m_settings;
    ModClock &m_modClock;
    AppPaths m_paths;
    CharacterControl &m_character;
    Host m_host;
    int m_formWidth = 0;
    int m_formHeight = 0;
    bool m_unloaded = false;
    bool m_trimming = false;
    // The controls that speak their help as they take the focus.
    QHash<QObject *, manager::HelpTopic> m_helpTopics;
    QFileSystemWatcher *m_watcher = nullptr;
    // Several changes of the file in a row make one rebuild.
    QTimer *m_relist = nullptr;
};
