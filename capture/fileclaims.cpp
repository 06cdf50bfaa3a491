#include "fileclaims.h"

#include "fileerror.h"

#include <QFileInfo>

#include <utility>

FileClaims::Claim &FileClaims::Claim::operator=(Claim &&other) noexcept {
    if (this != &other) {
        release();
        m_table = std::move(other.m_table);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

void FileClaims::Claim::pin(const FileIdentity &file) {
    if (const auto table = m_table.lock())
        for (Entry &entry : *table)
            if (entry.id == m_id)
                entry.pinned = file;
}

void FileClaims::Claim::release() {
    if (const auto table = m_table.lock())
        table->removeIf([this](const Entry &entry) { return entry.id == m_id; });
    m_table.reset();
    m_id = 0;
}

void FileClaims::check(const QString &path, const Claim *replacing) const {
    const FileIdentity file = FileIdentity::ofPath(path);
    for (const Entry &entry : *m_table) {
        if (replacing && entry.id == replacing->m_id)
            continue;
        const FileIdentity held =
            entry.pinned.isNull() ? FileIdentity::ofPath(entry.path) : entry.pinned;
        if (held != file)
            continue;
        throw FileError({FileFailure::Kind::Claimed, QFileInfo(path).absoluteFilePath(),
                         entry.writer == Writer::ReceiveLog
                             ? QStringLiteral("the receive log is writing this file")
                             : QStringLiteral("a save is writing this file")});
    }
}

FileClaims::Claim FileClaims::claim(Writer writer, const QString &path, const Claim *replacing) {
    check(path, replacing);
    Claim claim;
    claim.m_table = m_table;
    claim.m_id = ++m_lastId;
    m_table->append({claim.m_id, writer, path, {}});
    return claim;
}
