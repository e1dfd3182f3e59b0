#include "suite/widgets/dateeditplus.h"
#include <QCalendarWidget>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace suite {

namespace {
QString digitsOf(const QString& s) {
    QString d;
    for (const QChar c : s)
        if (c.isDigit())
            d += c;
    return d;
}
} // namespace

TDateEditPlus::TDateEditPlus(QWidget* parent) : QWidget(parent) {
    nomeSemana_ = {QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                   QStringLiteral("Quarta"),  QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                   QStringLiteral("Sábado")};
    edit_ = new QLineEdit(this);
    edit_->setInputMask(QStringLiteral("99/99/9999;_"));
    edit_->setText(QString());
    edit_->installEventFilter(this);
    setFocusProxy(edit_);
    setFocusPolicy(Qt::StrongFocus);

    up_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::DownArrow);
    button_ = new QToolButton(this);
    button_->setText(QStringLiteral("…"));
    for (QToolButton* b : {up_, down_, button_})
        b->setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::clicked, this, [this] { stepDays(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepDays(-1); });
    connect(button_, &QToolButton::clicked, this, &TDateEditPlus::popupCalendar);

    dia_ = new QLabel(this);
    dia_->hide();

    connect(edit_, &QLineEdit::textChanged, this, [this] {
        refresh();
        emit changed();
    });
    resize(100, 21);
    layoutParts();
    refresh();
}

void TDateEditPlus::setEditStyle(TDateEditStyle s) {
    style_ = s;
    layoutParts();
}

void TDateEditPlus::setShowDia(bool on) {
    showDia_ = on;
    layoutParts();
    refresh();
}

void TDateEditPlus::setValidDateColor(const QColor& c) {
    validColor_ = c;
    refresh();
}

void TDateEditPlus::setNomeSemana(const QStringList& names) {
    nomeSemana_ = names;
    refresh();
}

QDate TDateEditPlus::GetDate() const {
    const QString d = text();
    if (d.size() != 8)
        return {};
    return QDate::fromString(d, QStringLiteral("ddMMyyyy"));
}

QDate TDateEditPlus::GetPrimDia() const {
    const QDate d = GetDate();
    return d.isValid() ? QDate(d.year(), d.month(), 1) : QDate();
}

QDate TDateEditPlus::GetUltDia() const {
    const QDate d = GetDate();
    return d.isValid() ? QDate(d.year(), d.month(), d.daysInMonth()) : QDate();
}

void TDateEditPlus::setDate(const QDate& d) {
    if (d.isValid())
        edit_->setText(d.toString(QStringLiteral("dd/MM/yyyy")));
    else
        clear();
}

void TDateEditPlus::clear() {
    edit_->setText(QString());
}

QString TDateEditPlus::text() const {
    return digitsOf(edit_->displayText());
}

QString TDateEditPlus::displayText() const {
    if (text().isEmpty())
        return {};
    return QString(edit_->displayText()).replace(u'_', u' ').trimmed();
}

void TDateEditPlus::setText(const QString& t) {
    const QString d = digitsOf(t).left(8);
    QString shown;
    for (qsizetype i = 0; i < d.size(); ++i) {
        if (i == 2 || i == 4)
            shown += u'/';
        shown += d.at(i);
    }
    edit_->setText(shown);
}

void TDateEditPlus::stepDays(int days) {
    const QDate d = GetDate();
    setDate(d.isValid() ? d.addDays(days) : QDate::currentDate());
}

void TDateEditPlus::refresh() {
    const QDate d = GetDate();
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Text, d.isValid() ? validColor_ : palette().color(QPalette::Text));
    edit_->setPalette(pal);
    if (showDia_ && d.isValid() && nomeSemana_.size() == 7)
        dia_->setText(nomeSemana_.at(d.dayOfWeek() % 7)); // Qt counts Monday as 1
    else
        dia_->clear();
}

void TDateEditPlus::layoutParts() {
    const int h = height();
    const int bw = style_ == desNone ? 0 : 17;
    const int diaW = showDia_ ? 60 : 0;
    const int editW = qMax(10, width() - bw - diaW);
    edit_->setGeometry(0, 0, editW, h);
    up_->setVisible(style_ == desUpDown);
    down_->setVisible(style_ == desUpDown);
    button_->setVisible(style_ == desButton);
    up_->setGeometry(editW, 0, bw, h / 2);
    down_->setGeometry(editW, h / 2, bw, h - h / 2);
    button_->setGeometry(editW, 0, bw, h);
    dia_->setVisible(showDia_);
    dia_->setGeometry(editW + bw + 3, 0, qMax(0, diaW - 3), h);
}

void TDateEditPlus::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    layoutParts();
}

bool TDateEditPlus::eventFilter(QObject* o, QEvent* e) {
    if (o == edit_ && e->type() == QEvent::KeyPress && style_ == desUpDown) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepDays(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

void TDateEditPlus::popupCalendar() {
    QDialog dlg(this, Qt::Popup);
    auto* lay = new QVBoxLayout(&dlg);
    lay->setContentsMargins(0, 0, 0, 0);
    auto* cal = new QCalendarWidget(&dlg);
    if (GetDate().isValid())
        cal->setSelectedDate(GetDate());
    lay->addWidget(cal);
    connect(cal, &QCalendarWidget::activated, &dlg, &QDialog::accept);
    connect(cal, &QCalendarWidget::clicked, &dlg, &QDialog::accept);
    dlg.move(mapToGlobal(QPoint(0, height())));
    if (dlg.exec() == QDialog::Accepted)
        setDate(cal->selectedDate());
}

} // namespace suite
