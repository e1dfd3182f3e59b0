#include "suite/widgets/guipresenter.h"
#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace suite {

namespace {

QString titleOf(MsgType type) {
    switch (type) {
    case MsgType::Warning:
        return QStringLiteral("Aviso");
    case MsgType::Error:
        return QStringLiteral("Erro");
    case MsgType::Information:
        return QStringLiteral("Informação");
    case MsgType::Confirmation:
        return QStringLiteral("Confirmação");
    }
    return {};
}

QMessageBox::Icon iconOf(MsgType type) {
    switch (type) {
    case MsgType::Warning:
        return QMessageBox::Warning;
    case MsgType::Error:
        return QMessageBox::Critical;
    case MsgType::Information:
        return QMessageBox::Information;
    case MsgType::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// A modal table of the list's rows; checkable rows when `many`.
class PickDialog : public QDialog {
public:
    PickDialog(const PickList& list, bool many, QWidget* parent) : QDialog(parent) {
        setWindowTitle(list.title);
        auto* lay = new QVBoxLayout(this);
        table_ = new QTableWidget(int(list.rows.size()), int(list.headers.size()), this);
        table_->setHorizontalHeaderLabels(list.headers);
        table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table_->setSelectionBehavior(QAbstractItemView::SelectRows);
        table_->setSelectionMode(QAbstractItemView::SingleSelection);
        table_->verticalHeader()->hide();
        table_->horizontalHeader()->setStretchLastSection(true);
        for (int r = 0; r < list.rows.size(); ++r)
            for (int c = 0; c < list.headers.size(); ++c) {
                auto* item = new QTableWidgetItem(list.rows[r].value(c));
                if (many && c == 0)
                    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                if (many && c == 0)
                    item->setCheckState(Qt::Unchecked);
                table_->setItem(r, c, item);
            }
        table_->resizeColumnsToContents();
        lay->addWidget(table_);
        auto* buttons = new QDialogButtonBox(this);
        buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        if (!many)
            connect(table_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
        lay->addWidget(buttons);
        resize(520, 380);
        if (!list.rows.isEmpty())
            table_->selectRow(0);
    }
    QTableWidget* table_ = nullptr;
};

} // namespace

int GuiPresenter::message(const QString& text, MsgType type, int buttons, QWidget* parent) {
    return detailedMessage(text, QString(), type, buttons, parent);
}

int GuiPresenter::detailedMessage(const QString& text, const QString& detail, MsgType type,
                                  int buttons, QWidget* parent) {
    QMessageBox box(iconOf(type), titleOf(type), text, QMessageBox::NoButton, parent);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    QList<QPair<QAbstractButton*, int>> map;
    auto add = [&](int flag, const QString& caption, QMessageBox::ButtonRole role, int result) {
        if (buttons & flag)
            map.append({box.addButton(caption, role), result});
    };
    add(mbYes, QStringLiteral("Sim"), QMessageBox::YesRole, mrYes);
    add(mbNo, QStringLiteral("Não"), QMessageBox::NoRole, mrNo);
    add(mbOK, QStringLiteral("OK"), QMessageBox::AcceptRole, mrOK);
    add(mbCancel, QStringLiteral("Cancelar"), QMessageBox::RejectRole, mrCancel);
    if (map.isEmpty())
        map.append({box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole), mrOK});
    box.setDefaultButton(qobject_cast<QPushButton*>(map.first().first));
    box.exec();
    for (const auto& [button, result] : map)
        if (box.clickedButton() == button)
            return result;
    return (buttons & mbCancel) ? mrCancel : (buttons & mbNo) ? mrNo : mrNone;
}

int GuiPresenter::pickOne(const PickList& list, QWidget* parent) {
    PickDialog dlg(list, false, parent);
    if (dlg.exec() != QDialog::Accepted)
        return -1;
    return dlg.table_->currentRow();
}

bool GuiPresenter::pickMany(const PickList& list, QList<int>& chosen, QWidget* parent) {
    PickDialog dlg(list, true, parent);
    for (int r : chosen)
        if (QTableWidgetItem* item = dlg.table_->item(r, 0))
            item->setCheckState(Qt::Checked);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    chosen.clear();
    for (int r = 0; r < dlg.table_->rowCount(); ++r)
        if (dlg.table_->item(r, 0) && dlg.table_->item(r, 0)->checkState() == Qt::Checked)
            chosen.append(r);
    return true;
}

bool GuiPresenter::saveFile(const SaveRequest& request, QString& chosen, QWidget* parent) {
    QFileDialog dlg(parent, request.title, request.initialDir, request.filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(request.defaultSuffix);
    // The caller asks before overwriting, at the moment it writes.
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!request.fileName.isEmpty())
        dlg.selectFile(request.fileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    chosen = dlg.selectedFiles().constFirst();
    return true;
}

void installGuiPresenterIfNone() {
    static GuiPresenter gui;
    Presenter* previous = setPresenter(&gui);
    if (previous && previous != &gui)
        setPresenter(previous);
}

QString qtFileFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(u';', u' ');
        out.append(parts[i] + QStringLiteral(" (") + patterns + u')');
    }
    return out.join(QStringLiteral(";;"));
}

} // namespace suite
