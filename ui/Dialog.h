#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

#include <map>
#include <string>
#include <vector>

#include "templates/DialogTemplates.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace varnel {

// The base of every modal dialog. The controls are created from the template by the constructor,
// so tests can call OnInitDialog and OnOK directly and look at the controls without showing
// anything. DoModal runs OnInitDialog before the dialog appears; EndDialog called there ends
// DoModal without the dialog ever appearing.
class CDialog : public QDialog {
    Q_OBJECT
public:
    // The owner is parent: the main window at run time, nothing in tests.
    explicit CDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally and returns the value given to EndDialog (kIdOk, kIdCancel, ...).
    int DoModal();

    // Returns true to have the focus put on the first tab stop.
    virtual bool OnInitDialog();
    // The default button (id 1) and Enter; the default ends the dialog with kIdOk.
    virtual void OnOK();
    // The Cancel button (id 2), Esc and the close box; the default ends the dialog with kIdCancel.
    virtual void OnCancel();
    // A push button other than OK and Cancel.
    virtual void OnCommand(int id);

    void EndDialog(int result);
    bool IsEnded() const { return m_ended; }
    int Result() const { return m_result; }

    const DialogTemplate& Template() const { return m_template; }
    QWidget* GetDlgItem(int id) const;
    QLineEdit* GetEdit(int id) const;
    QComboBox* GetComboBox(int id) const;
    QPushButton* GetButton(int id) const;
    QListWidget* GetList(int id) const;
    // Puts lines into a list control in their order, in place of what it held.
    void SetListLines(int id, const std::vector<std::string>& lines);
    void SetDlgItemText(int id, const QString& text);
    QString GetDlgItemText(int id) const;
    // The controls that take the focus with Tab, in tab order.
    std::vector<QWidget*> TabStops() const;

    // Dialog units to pixels with the dialog font's average character width and height.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;
    int BaseUnitX() const { return m_baseX; }
    int BaseUnitY() const { return m_baseY; }

protected:
    void accept() override;
    void reject() override;

private:
    void CreateControls();
    QWidget* CreateControl(const ControlTemplate& control);

    const DialogTemplate& m_template;
    std::map<int, QWidget*> m_items;
    std::vector<QWidget*> m_tabStops;
    int m_baseX = 0;
    int m_baseY = 0;
    bool m_ended = false;
    int m_result = kIdCancel;
    bool m_inModal = false;
};

}  // namespace varnel
