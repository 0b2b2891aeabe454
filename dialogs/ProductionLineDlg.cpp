#include "dialogs/ProductionLineDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <string_view>
#include <utility>

#include "strings/Messages.h"

namespace varnel {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor Colour(StationColour colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

}  // namespace

CProductionLineDlg::CProductionLineDlg(Session session, SettingsStore& settings,
                                       PortResolver resolver, int portIndex, QWidget* parent)
    : CDialog(ProductionLineTemplate(), parent),
      m_nPortIndex(portIndex),
      m_ringBell([] { QApplication::beep(); }),
      m_line(std::move(session), settings),
      m_resolver(std::move(resolver)) {
    m_chooseExportPath = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Export Shift"),
                                            QStringLiteral("shift.csv"),
                                            QStringLiteral("CSV files (*.csv)"))
            .toStdString();
    };
    if (QWidget* result = GetDlgItem(IDC_RESULT)) {
        QFont font = result->font();
        font.setPointSizeF(font.pointSizeF() * 3);
        font.setBold(true);
        result->setFont(font);
        static_cast<QLabel*>(result)->setAlignment(Qt::AlignCenter);
        result->setAutoFillBackground(true);
    }
    if (auto* table = static_cast<QTreeWidget*>(GetDlgItem(IDC_SHIFT))) {
        QStringList columns;
        for (const std::string_view column : kShiftColumns) {
            columns << QString::fromUtf8(column.data(), static_cast<qsizetype>(column.size()));
        }
        table->setHeaderLabels(columns);
        table->header()->setStretchLastSection(true);
    }
    // Space runs the next radio wherever the focus is but in a text field; a key held down
    // (a foot switch that bounces, a key that repeats) runs one radio, not several.
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

bool CProductionLineDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const StationSetup setup = m_line.Open();
    FillSources(setup.source.pool);
    FillPorts();
    SetDlgItemText(IDC_STATION_NAME, Text(setup.station));
    ShowShift();
    SetDlgItemText(IDC_PROMPT, Text(m_line.Prompt()));
    if (QPushButton* program = GetButton(kIdOk)) {
        program->setFocus();
    }
    return false;
}

void CProductionLineDlg::FillSources(const std::string& pool) {
    QComboBox* list = GetComboBox(IDC_ESN_SOURCE);
    list->clear();
    for (const StationSourceChoice& choice : m_line.Sources()) {
        list->addItem(Text(choice.text));
    }
    list->setCurrentIndex(m_line.SourceIndex(pool));
}

void CProductionLineDlg::FillPorts() {
    QComboBox* list = GetComboBox(IDC_PORT);
    list->clear();
    for (const PortEntry& port : ListPorts(m_resolver, m_probe)) {
        if (StationOffersPort(port, m_nPortIndex)) {
            list->addItem(Text(port.name), port.index);
        }
    }
    list->setCurrentIndex(list->findData(m_nPortIndex));
}

void CProductionLineDlg::ShowShift() {
    SetDlgItemText(IDC_COUNTS, Text(CountsText(m_line.Station().Counts())));
    auto* table = static_cast<QTreeWidget*>(GetDlgItem(IDC_SHIFT));
    table->clear();
    for (const StationRadio& radio : m_line.Station().Shift()) {
        QStringList cells;
        for (const std::string& cell : ShiftRow(radio)) {
            cells << Text(cell);
        }
        table->addTopLevelItem(new QTreeWidgetItem(cells));
    }
    for (int column = 0; column + 1 < table->columnCount(); ++column) {
        table->resizeColumnToContents(column);
    }
}

StationSetup CProductionLineDlg::SetupFromControls() const {
    return StationSetupOf(m_line.SourceAt(GetComboBox(IDC_ESN_SOURCE)->currentIndex()),
                          GetDlgItemText(IDC_STATION_NAME).toStdString());
}

void CProductionLineDlg::OnOK() {
    const StationSetup setup = SetupFromControls();
    if (GetDlgItemText(IDC_STATION_NAME).toStdString() != setup.station) {
        SetDlgItemText(IDC_STATION_NAME, Text(setup.station));
    }
    const QVariant port = GetComboBox(IDC_PORT)->currentData();
    if (port.isValid()) {
        m_nPortIndex = port.toInt();
    }
    SetDlgItemText(IDC_RESULT, QString());
    SetDlgItemText(IDC_RESULT_DETAIL, Text(kStationInProgress));
    const StationRadio radio =
        m_line.Program(setup, m_nPortIndex, GetDlgItemText(IDC_TYPED_ESN).toStdString());
    ShowResult(radio);
    ShowShift();
    FillSources(setup.source.pool);  // the pool's free count has changed
    SetDlgItemText(IDC_PROMPT, Text(m_line.Prompt()));
    if (setup.source.Typed()) {
        // Ready for the next scan.
        GetEdit(IDC_TYPED_ESN)->clear();
        GetEdit(IDC_TYPED_ESN)->setFocus();
    }
}

void CProductionLineDlg::ShowResult(const StationRadio& radio) {
    const StationBanner banner = BannerOf(radio);
    QWidget* result = GetDlgItem(IDC_RESULT);
    SetDlgItemText(IDC_RESULT, Text(banner.word));
    QPalette palette = result->palette();
    palette.setColor(QPalette::Window, Colour(banner.background));
    palette.setColor(QPalette::WindowText, Colour(banner.text));
    result->setPalette(palette);
    SetDlgItemText(IDC_RESULT_DETAIL, Text(banner.detail));
    result->setAccessibleName(Text(SpokenResult(radio)));
    setAccessibleName(Text(StationWindowName(Template().caption, radio)));
    for (int i = 0; i < banner.bells; ++i) {
        QTimer::singleShot(i * kStationBellIntervalMs, this, [this] { m_ringBell(); });
    }
}

void CProductionLineDlg::OnCommand(int id) {
    if (id == IDC_EXPORT) {
        ExportShift();
    }
}

void CProductionLineDlg::ExportShift() {
    const std::string path = m_chooseExportPath ? m_chooseExportPath() : std::string();
    if (const std::string done = m_line.Export(path); !done.empty()) {
        SetDlgItemText(IDC_PROMPT, Text(done));
    }
}

bool CProductionLineDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const auto* button = qobject_cast<QPushButton*>(watched);
        const StationKeyFocus focus =
            button != nullptr ? (button == GetButton(kIdOk) ? StationKeyFocus::RunButton
                                                            : StationKeyFocus::OtherButton)
            : qobject_cast<QLineEdit*>(watched) != nullptr ? StationKeyFocus::TextField
                                                           : StationKeyFocus::Elsewhere;
        const StationKey which = key->key() == Qt::Key_Space ? StationKey::Space
                                 : enter                     ? StationKey::Enter
                                                             : StationKey::Other;
        switch (StationKeyActionOf(which, key->isAutoRepeat(), key->modifiers() != Qt::NoModifier,
                                   focus)) {
            case StationKeyAction::Swallow:
                return true;
            case StationKeyAction::Run:
                OnOK();
                return true;
            case StationKeyAction::Pass:
                break;
        }
    }
    return CDialog::eventFilter(watched, event);
}

}  // namespace varnel
