#include "settings/clsINI.h"

// Placeholder bodies; the store is being written.
namespace vigilux::settings {

clsINI::clsINI(QString fileName)
    : m_fileName(std::move(fileName)) {}

QString clsINI::chooseSection(const QString& section) {
    QString chosen = section.isEmpty() ? m_lastSection : section;
    if (chosen.isEmpty())
        chosen = QStringLiteral("Main");
    m_lastSection = chosen;
    return chosen;
}

QString clsINI::ReadINI(const QString& KeyName, const QString& Section) {
    Q_UNUSED(KeyName);
    chooseSection(Section);
    return QString();
}

void clsINI::SaveINI(const QVariant& KeyValue, const QString& KeyName, const QString& Section) {
    Q_UNUSED(KeyValue);
    Q_UNUSED(KeyName);
    chooseSection(Section);
}

QString clsINI::toText(const QVariant& value) {
    return value.toString();
}

} // namespace vigilux::settings
