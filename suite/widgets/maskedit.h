#pragma once
#include <QLineEdit>

namespace suite {

// An edit with the suite's mask notation "mask;save;blank":
//   mask   0 required digit, 9 optional digit, # digit or sign, L/l letter,
//          A/a letter or digit, C/c any character (upper case required);
//          any other character is a literal, "\" quotes the next one;
//   save   0: the literals are not part of the value, 1: they are;
//   blank  the character unfilled positions show.
// Without a mask it is a free-text edit.
class TMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget* parent = nullptr);

    void setEditMask(const QString& mask);
    const QString& EditMask() const { return mask_; }

    // The value code reads: with a mask, the filled positions only (literals
    // too when the mask saves them), trailing unfilled positions dropped, so
    // an untouched field reads as empty; without a mask, the text.
    QString value() const;
    // Fills the field from a value (mask positions in order).
    void setValue(const QString& v);

    // The toolkit's input mask for a mask in the suite's notation.
    static QString toQtInputMask(const QString& mask);

private:
    QString mask_;
    QString pattern_; // mask part alone
    bool saveLiterals_ = true;
    QChar blank_ = u'_';
};

} // namespace suite
