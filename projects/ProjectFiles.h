#pragma once
// Project files: the program image kept on disk byte for byte (12025 bytes: the line count,
// high byte first, then the 24-byte line records), and the four project buttons of the main
// window: new, open, save and clear.
#include <QObject>
#include <QString>
#include <memory>

struct LinkState;
class MainView;
class Prompter;
class FlexGrid;
class Form4;

class ProjectFiles : public QObject {
    Q_OBJECT
public:
    ProjectFiles(LinkState &state, MainView &view, FlexGrid &grid, Prompter &prompter, QObject *parent = nullptr);
    ~ProjectFiles() override;

    void NewProject();    // "新建工程": shows the new-project window
    void OpenProject();   // "打开工程"
    bool SaveProject();   // "保存工程"; true when the project was written
    void ClearProject();  // "清除工程"

    // The program as it is now is the one on disk or in the controller: it was opened, saved,
    // created, cleared, or read from the controller whole.
    void setBaseline();
    // The program differs from that baseline: its line count, or any line the grid shows.
    bool changed() const;
    // Before the program is replaced or dropped: when it has changed, asks whether to save it
    // first. False when the user cancels or the save fails: then nothing may go on.
    bool confirmDiscard();

    // What the new-project window asks for once its checks pass: an empty program of `lines`
    // lines, rendered by the main window's next timer tick.
    void CreateProject(const QString &name, int lines);

    // The current project's file name without its folder: the save dialog's initial name.
    QString ProjectFileName;

    Form4 *form4() const;

    static QString fileFilter();
    static constexpr int FilterIndex = 2;
    static constexpr int FileSize = 12025;
    // An open reads the count word and the records of lines 1 to 499 and the first byte of
    // line 500 (offsets 0 to 12000); the rest of the image keeps what it held.
    static constexpr int BytesRead = 12001;

signals:
    // The program has been replaced by a new, an opened or a cleared one.
    void programReplaced();

private:
    QString choosePath(bool save);
    LinkState &m_state;
    MainView &m_view;
    Prompter &m_prompter;
    FlexGrid &m_grid;
    std::unique_ptr<Form4> m_form4;
    // Where the file dialogs start: the folder of the project last opened or saved in this
    // run, until then the folder the tool was started from.
    QString m_folder;
    struct Baseline {
        int lines = 0;
        QByteArray records;
    } m_baseline;
};
