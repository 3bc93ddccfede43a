#include "MapsPage.h"

#include "control/CommandButtons.h"
#include "control/MapCatalog.h"
#include "control/MapPreview.h"
#include "platform/Dialogs.h"
#include "rcon/CommandSender.h"
#include "ui_MapsPage.h"

#include <QGridLayout>

namespace garrison {

MapsPage::MapsPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::MapsPage>()), m_sender(sender), m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    connectCommandButtons(*this, SettingsCommands::Page::Maps, m_sender);
    m_ui->List1->addItems(MapCatalog::listEntries());

    // The pictures lie on top of each other; exactly one is shown at a time.
    auto* stack = new QGridLayout(m_ui->previewArea);
    stack->setContentsMargins(0, 0, 0, 0);
    for (const QString& name : MapCatalog::pictures()) {
        auto* picture = new QLabel(m_ui->previewArea);
        picture->setObjectName(name);
        picture->setFixedSize(MapPreview::kSize);
        picture->setAlignment(Qt::AlignCenter);
        stack->addWidget(picture, 0, 0);
        m_pictures.insert(name, picture);
    }
    for (const MapCatalog::Map& map : MapCatalog::maps()) {
        m_pictures.value(map.picture)->setToolTip(tr("Preview of %1").arg(map.name));
    }
    m_pictures.value(MapCatalog::kDefaultPicture)->setToolTip(tr("Choose a map in the list"));
    showPicture(MapCatalog::kDefaultPicture);
    paintPreviews();

    // Selection, not the current item: tabbing into the list makes its first entry current
    // without the user choosing it.
    connect(m_ui->List1, &QListWidget::itemSelectionChanged, this, &MapsPage::entrySelected);
    connect(m_ui->List1, &QListWidget::itemActivated, this, &MapsPage::entryActivated);
    connect(m_ui->Label14, &LabelButton::clicked, this, &MapsPage::changeMap);
}

MapsPage::~MapsPage() = default;

void MapsPage::startSession()
{
    m_ui->List1->selectionModel()->clear();
    m_ui->List1->scrollToTop();
    m_ui->Label13->setText(MapCatalog::kNoMapChosen);
    showPicture(MapCatalog::kDefaultPicture);
}

void MapsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    paintPreviews();
}

void MapsPage::entrySelected()
{
    const QList<QListWidgetItem*> selected = m_ui->List1->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const QString entry = selected.constFirst()->text();
    m_ui->Label13->setText(entry);
    const MapCatalog::Selection selection = MapCatalog::select(entry);
    if (selection.asksForName) {
        askForCustomName();
        return;
    }
    showPicture(selection.picture);
}

// Enter or a double click on "Custom Map" asks for another name without leaving the entry.
void MapsPage::entryActivated(QListWidgetItem* item)
{
    if (item && item->text() == MapCatalog::kCustomMap && item->isSelected()) {
        askForCustomName();
    }
}

void MapsPage::askForCustomName()
{
    m_ui->Label13->setText(
        m_dialogs.input(QStringLiteral("Type the name of the map (example: mp_newmap)"),
                        MapCatalog::kCustomMap, QStringLiteral("mp_")));
}

void MapsPage::showPicture(const QString& picture)
{
    for (auto it = m_pictures.cbegin(); it != m_pictures.cend(); ++it) {
        it.value()->setVisible(it.key() == picture);
    }
}

void MapsPage::changeMap()
{
    const std::optional<QString> command = MapCatalog::changeMapCommand(m_ui->Label13->text());
    if (!command) {
        m_dialogs.message(QStringLiteral("Please select a map first!"), QStringLiteral("Map"),
                          BoxIcon::Information);
        return;
    }
    m_sender.Send(*command);
}

void MapsPage::paintPreviews()
{
    const qreal ratio = devicePixelRatioF();
    if (qFuzzyCompare(ratio, m_paintedRatio)) {
        return;
    }
    m_paintedRatio = ratio;
    for (const MapCatalog::Map& map : MapCatalog::maps()) {
        m_pictures.value(map.picture)->setPixmap(MapPreview::paint(map.name, ratio));
    }
    m_pictures.value(MapCatalog::kDefaultPicture)->setPixmap(MapPreview::paintDefault(ratio));
}

} // namespace garrison
