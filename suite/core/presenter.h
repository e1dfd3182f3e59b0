#pragma once
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace suite {

struct DataPacket;

// Dialog types and buttons of ShowMsg.
enum class MsgType { Warning = 0, Error = 1, Information = 2, Confirmation = 3 };
enum MsgButton { mbOK = 1, mbYes = 2, mbNo = 4, mbCancel = 8 };
// Results: the codes of the toolkit.
enum MsgResult { mrNone = 0, mrOK = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// One rows-and-columns list shown by a picker.
struct PickList {
    QString title;
    QStringList headers;     // column captions
    QList<QStringList> rows; // display texts, one list per row
};

// Everything that waits for the user goes through one presenter, so tests can
// answer message boxes, pickers and file dialogs without a person.
class Presenter {
public:
    virtual ~Presenter() = default;
    // A modal message box; returns one of MsgResult.
    virtual int message(const QString& text, MsgType type, int buttons, QWidget* parent) = 0;
    // The same box with technical detail the user may open (a system error,
    // a file's full path); without a place for it the detail follows the text.
    virtual int detailedMessage(const QString& text, const QString& detail, MsgType type,
                                int buttons, QWidget* parent) {
        return message(detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail, type,
                       buttons, parent);
    }
    // A single-row picker; returns the chosen row index or -1 when cancelled.
    virtual int pickOne(const PickList& list, QWidget* parent) = 0;
    // A multi-row picker; preselected rows are marked; returns the chosen rows,
    // or false when cancelled.
    virtual bool pickMany(const PickList& list, QList<int>& chosen, QWidget* parent) = 0;
    // A save-file dialog; returns false when cancelled.
    struct SaveRequest {
        QString title, filter, defaultSuffix, initialDir, fileName;
    };
    virtual bool saveFile(const SaveRequest& request, QString& chosen, QWidget* parent) = 0;
};

// The presenter in force. Without one installed, messages go to standard error
// and every question is answered with its default (the first button).
Presenter& presenter();
// Installs p (not owned) and returns the previous one; nullptr restores the default.
Presenter* setPresenter(Presenter* p);

} // namespace suite
