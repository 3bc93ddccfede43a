#include "CurrentValues.h"

#include <QFontMetrics>
#include <QLabel>

namespace garrison {

CurrentValues::CurrentValues(QWidget& page, SettingsCommands::Page commands)
    : m_page(page), m_commands(commands)
{}

QLabel* CurrentValues::add(const QString& variable)
{
    auto* label = new QLabel(&m_page);
    label->setObjectName(QStringLiteral("now_") + variable);
    label->setToolTip(toolTip(variable));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_labels.append({variable, label});
    return label;
}

QStringList CurrentValues::variables() const
{
    QStringList names;
    for (const auto& [variable, label] : m_labels) {
        names.append(variable);
    }
    return names;
}

void CurrentValues::show(const QString& variable, const QString& value)
{
    for (const auto& [name, label] : m_labels) {
        if (name.compare(variable, Qt::CaseInsensitive) != 0) {
            continue;
        }
        // A long host name would widen the page: the label keeps to a few words, the tooltip
        // has it whole.
        const QString text = QObject::tr("now: %1").arg(shownValue(name, value));
        const QFontMetrics metrics = label->fontMetrics();
        label->setText(metrics.elidedText(text, Qt::ElideRight,
                                          metrics.averageCharWidth() * kWidthInCharacters));
        label->setToolTip(toolTip(name) + QStringLiteral("\n") + text);
    }
}

void CurrentValues::clear()
{
    for (const auto& [variable, label] : m_labels) {
        label->clear();
        label->setToolTip(toolTip(variable));
    }
}

QString CurrentValues::toolTip(const QString& variable)
{
    return QObject::tr("What the server has for %1, read when the page opened and after each "
                       "change made here")
        .arg(variable);
}

QString CurrentValues::shownValue(const QString& variable, const QString& value) const
{
    const QString command = variable + QLatin1Char(' ') + value;
    for (const SettingsCommands::Fixed& fixed : SettingsCommands::fixedCommands()) {
        if (fixed.page != m_commands || fixed.command.compare(command, Qt::CaseInsensitive) != 0) {
            continue;
        }
        if (const auto* button = m_page.findChild<QLabel*>(fixed.control)) {
            return button->text().trimmed();
        }
    }
    return value.isEmpty() ? QObject::tr("(empty)") : value;
}

} // namespace garrison
