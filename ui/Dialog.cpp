#include "ui/Dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/Resources.h"

namespace varnel {
namespace {

int MulDiv(int value, int numerator, int denominator) {
    // Rounds half away from zero, as dialog-unit conversion always has.
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

CDialog::CDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(dialogTemplate) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QString::fromUtf8(m_template.caption));
    setModal(true);

    // The base units of the dialog font: the average width of the letters and the line height.
    QFontMetrics metrics(font());
    const int alphabetWidth = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (alphabetWidth / 26 + 1) / 2;
    m_baseY = metrics.height();

    const QRect client = MapDialogRect(0, 0, m_template.cx, m_template.cy);
    setFixedSize(client.size());
    CreateControls();
}

CDialog::~CDialog() = default;

QRect CDialog::MapDialogRect(int x, int y, int cx, int cy) const {
    return QRect(MulDiv(x, m_baseX, 4), MulDiv(y, m_baseY, 8), MulDiv(cx, m_baseX, 4),
                 MulDiv(cy, m_baseY, 8));
}

void CDialog::CreateControls() {
    QWidget* previous = nullptr;
    for (const ControlTemplate& control : m_template.controls) {
        QWidget* widget = CreateControl(control);
        if (control.id != IDC_STATIC) {
            m_items.emplace(control.id, widget);
        }
        if (control.style & CS_TABSTOP) {
            widget->setFocusPolicy(Qt::StrongFocus);
            // Tab follows the template's order, not the order of creation or of position.
            if (previous) {
                QWidget::setTabOrder(previous, widget);
            }
            previous = widget;
            m_tabStops.push_back(widget);
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
}

QWidget* CDialog::CreateControl(const ControlTemplate& control) {
    const QRect rect = MapDialogRect(control.x, control.y, control.cx, control.cy);
    const QString text = QString::fromUtf8(control.text ? control.text : "");
    switch (control.kind) {
        case ControlKind::Text: {
            auto* label = new QLabel(text, this);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (control.style & CS_WORDWRAP) {
                // A text set at run time (a device's description) breaks its lines inside its
                // own area instead of running under its neighbours.
                label->setWordWrap(true);
                label->setGeometry(rect);
                return label;
            }
            QRect area = rect;
            // A desktop font may run a little wider than the layout was drawn for; a label that
            // does not fit grows rather than clipping its words.
            const QSize wanted = label->sizeHint();
            area.setWidth(std::max(area.width(), wanted.width()));
            area.setHeight(std::max(area.height(), wanted.height()));
            label->setGeometry(area);
            return label;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(this);
            label->setPixmap(AppIcon().pixmap(32, 32));
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setGeometry(rect.x(), rect.y(), std::max(rect.width(), 32),
                               std::max(rect.height(), 32));
            return label;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, this);
            if (control.style & CS_READONLY) {
                edit->setReadOnly(true);
                // A field to read and copy from, not to type into: it takes the window's
                // background, as read-only fields do on the desktop, instead of the white of
                // an input field.
                QPalette palette = edit->palette();
                for (const auto group : {QPalette::Active, QPalette::Inactive}) {
                    palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Window));
                }
                edit->setPalette(palette);
            }
            edit->setGeometry(rect);
            return edit;
        }
        case ControlKind::DropDownList:
        case ControlKind::DropDownEdit: {
            auto* combo = new QComboBox(this);
            combo->setEditable(control.kind == ControlKind::DropDownEdit);
            if (combo->isEditable()) {
                // What is typed stays as typed: no completion from the list's entries and no
                // entry added for it.
                combo->setCompleter(nullptr);
                combo->setInsertPolicy(QComboBox::NoInsert);
            }
            // The template's height is the list when dropped; the closed box keeps its own height.
            const int closed = combo->sizeHint().height();
            const int rowHeight = std::max(1, QFontMetrics(combo->font()).height() + 2);
            combo->setMaxVisibleItems(std::max(1, (rect.height() - closed) / rowHeight));
            combo->setGeometry(rect.x(), rect.y(), rect.width(), closed);
            return combo;
        }
        case ControlKind::List: {
            auto* list = new QListWidget(this);
            // Lines to read and copy from: a line may be picked, never edited or moved. Lines
            // of columns keep them under each other only in a font of one width.
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setEditTriggers(QAbstractItemView::NoEditTriggers);
            list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            list->setGeometry(rect);
            return list;
        }
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(true);
            button->setDefault(control.kind == ControlKind::DefPushButton);
            button->setGeometry(rect);
            const int id = control.id;
            connect(button, &QPushButton::clicked, this, [this, id] {
                if (id == kIdOk) {
                    OnOK();
                } else if (id == kIdCancel) {
                    OnCancel();
                } else {
                    OnCommand(id);
                }
            });
            return button;
        }
        case ControlKind::Table: {
            auto* table = new QTreeWidget(this);
            table->setRootIsDecorated(false);
            table->setUniformRowHeights(true);
            table->setItemsExpandable(false);
            table->setAllColumnsShowFocus(true);
            table->setEditTriggers(QAbstractItemView::NoEditTriggers);
            table->setSelectionMode(QAbstractItemView::SingleSelection);
            table->setGeometry(rect);
            return table;
        }
    }
    return new QWidget(this);
}

int CDialog::DoModal() {
    m_ended = false;
    m_result = kIdCancel;
    const bool focusFirst = OnInitDialog();
    if (m_ended) {
        return m_result;
    }
    if (focusFirst && !m_tabStops.empty()) {
        for (QWidget* stop : m_tabStops) {
            if (stop->isEnabled()) {
                stop->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
    m_inModal = true;
    const int result = exec();
    m_inModal = false;
    return m_ended ? m_result : result;
}

bool CDialog::OnInitDialog() {
    return true;
}

void CDialog::OnOK() {
    EndDialog(kIdOk);
}

void CDialog::OnCancel() {
    EndDialog(kIdCancel);
}

void CDialog::OnCommand(int) {}

void CDialog::EndDialog(int result) {
    m_ended = true;
    m_result = result;
    if (m_inModal || isVisible()) {
        done(result);
    } else {
        setResult(result);
    }
}

void CDialog::accept() {
    OnOK();
}

void CDialog::reject() {
    OnCancel();
}

QWidget* CDialog::GetDlgItem(int id) const {
    auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second;
}

QLineEdit* CDialog::GetEdit(int id) const {
    return qobject_cast<QLineEdit*>(GetDlgItem(id));
}

QComboBox* CDialog::GetComboBox(int id) const {
    return qobject_cast<QComboBox*>(GetDlgItem(id));
}

QListWidget* CDialog::GetList(int id) const {
    return qobject_cast<QListWidget*>(GetDlgItem(id));
}

void CDialog::SetListLines(int id, const std::vector<std::string>& lines) {
    if (QListWidget* list = GetList(id)) {
        list->clear();
        for (const std::string& line : lines) {
            list->addItem(QString::fromStdString(line));
        }
    }
}

QPushButton* CDialog::GetButton(int id) const {
    return qobject_cast<QPushButton*>(GetDlgItem(id));
}

void CDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* item = GetDlgItem(id);
    if (auto* edit = qobject_cast<QLineEdit*>(item)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    } else if (auto* label = qobject_cast<QLabel*>(item)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QPushButton*>(item)) {
        button->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(item); combo && combo->isEditable()) {
        combo->setEditText(text);
    }
}

QString CDialog::GetDlgItemText(int id) const {
    QWidget* item = GetDlgItem(id);
    if (auto* edit = qobject_cast<QLineEdit*>(item)) {
        return edit->text();
    }
    if (auto* label = qobject_cast<QLabel*>(item)) {
        return label->text();
    }
    if (auto* combo = qobject_cast<QComboBox*>(item)) {
        return combo->currentText();
    }
    if (auto* button = qobject_cast<QPushButton*>(item)) {
        return button->text();
    }
    return {};
}

std::vector<QWidget*> CDialog::TabStops() const {
    return m_tabStops;
}

}  // namespace varnel
