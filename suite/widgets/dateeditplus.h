#pragma once
#include <QColor>
#include <QDate>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace suite {

// A date edit typed as dd/mm/yyyy that starts empty.
//
// Two texts, kept apart on purpose:
//   text()        the value code reads: the date's eight digits ddmmyyyy
//                 (what the file's records carry), or empty;
//   displayText() what the user sees: "dd/mm/yyyy", or empty.
// A partly typed date gives its typed digits in text() and an invalid GetDate().
class TDateEditPlus : public QWidget {
    Q_OBJECT
public:
    enum TDateEditStyle { desButton, desUpDown, desNone };

    explicit TDateEditPlus(QWidget* parent = nullptr);

    void setEditStyle(TDateEditStyle s);
    TDateEditStyle EditStyle() const { return style_; }
    // Shows the weekday name (NomeSemana, Sunday first) beside a valid date.
    void setShowDia(bool on);
    bool ShowDia() const { return showDia_; }
    void setValidDateColor(const QColor& c);
    QColor ValidDateColor() const { return validColor_; }
    // Dates here never carry a time of day; kept for the suite's resource settings.
    void setSaveTime(bool on) { saveTime_ = on; }
    bool SaveTime() const { return saveTime_; }
    void setNomeSemana(const QStringList& names);
    const QStringList& NomeSemana() const { return nomeSemana_; }

    // The date; invalid when empty or not a calendar date.
    QDate GetDate() const;
    // First and last day of its month; invalid when GetDate() is.
    QDate GetPrimDia() const;
    QDate GetUltDia() const;
    void setDate(const QDate& d); // an invalid date clears
    void clear();

    QString text() const;
    QString displayText() const;
    // Accepts "ddmmyyyy" or "dd/mm/yyyy" (or digits partly).
    void setText(const QString& t);

    QLineEdit* lineEdit() const { return edit_; }
    // Steps the date by days (empty starts at today).
    void stepDays(int days);

signals:
    void changed();

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void refresh();
    void layoutParts();
    void popupCalendar();

    QLineEdit* edit_ = nullptr;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
    QToolButton* button_ = nullptr;
    QLabel* dia_ = nullptr;
    TDateEditStyle style_ = desButton;
    bool showDia_ = false;
    bool saveTime_ = false;
    QColor validColor_ = Qt::blue;
    QStringList nomeSemana_;
};

} // namespace suite
