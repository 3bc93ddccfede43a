#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace garrison {

// The tools menu toolsz behind the header's "Tools" label: two web links, and four server
// and daemon entries that are switched off.
class ToolsMenu : public QObject {
    Q_OBJECT

public:
    inline static const QString kHomePage = QStringLiteral("https://garrison.example.org/");
    inline static const QString kDonationPage =
        QStringLiteral("https://garrison.example.org/donate");

    explicit ToolsMenu(QObject* parent = nullptr);
    ~ToolsMenu() override;

    QMenu& toolsz() { return *m_menu; }
    QAction* entry(const QString& name) const;
    // "Ban List…".
    QAction& banListEntry() { return *m_banList; }

    // A click on the label (left button) pops the menu up there; true if it did.
    bool labelClicked(Qt::MouseButton button, const QPoint& globalPosition);

    // How pages are opened; the desktop's browser unless a test says otherwise.
    void setPageOpener(std::function<void(const QString&)> opener)
    {
        m_openPage = std::move(opener);
    }

private:
    QAction* addEntry(const char* name, const QString& caption);

    std::function<void(const QString&)> m_openPage;
    const std::unique_ptr<QMenu> m_menu;
    QAction* m_banList = nullptr;
};

} // namespace garrison
