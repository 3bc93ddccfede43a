#pragma once

#include <QString>
#include <QWidget>
#include <memory>

namespace Ui {
class ProgressWindow;
}

namespace garrison {

// The progress window Loadingfdf ("Wait..."): on screen while a multi-step server setup runs,
// naming the current step. It has no logic of its own: show(), setStep() per step, close().
class ProgressWindow : public QWidget {
    Q_OBJECT

public:
    explicit ProgressWindow(QWidget* parent = nullptr);
    ~ProgressWindow() override;

    // Label3. Painted at once: the caller may block the thread until its next step.
    void setStep(const QString& caption);
    QString step() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    const std::unique_ptr<Ui::ProgressWindow> m_ui;
};

} // namespace garrison
