#pragma once

#include "fileidentity.h"

#include <QList>
#include <QString>

#include <memory>

// One file, one writer. The receive log and every save of the DATA view claim
// the file they are about to write here, and hold the claim until they are
// done; a claim on a file another writer holds is refused with a FileError
// (FileFailure::Kind::Claimed), through any link and any spelling of its
// path. Two writers on one file lose data either way: a save replaces the
// file with its own, and a log goes on writing into the one taken away.
//
// A save's claim names whatever file its path names when it is compared
// (the save creates the file, then replaces it); the log's is pinned to the
// file it holds open, whatever becomes of the path. Claims are made and
// compared on one thread. Cost of a claim or a check: one FileIdentity look
// (a stat()) for the path and one for each save's claim held, a handful.
class FileClaims {
    struct Entry;
    using Table = QList<Entry>;

public:
    enum class Writer { ReceiveLog, Save };

    // A writer's hold on one file; given back when released or destroyed.
    // It may outlive the FileClaims it came from: then it holds nothing.
    class Claim {
    public:
        Claim() = default;
        Claim(Claim &&other) noexcept { *this = std::move(other); }
        Claim &operator=(Claim &&other) noexcept;
        ~Claim() { release(); }

        bool isHeld() const { return !m_table.expired() && m_id != 0; }
        // From now on the claim names the file that `file` is, whatever its
        // path names later.
        void pin(const FileIdentity &file);
        void release();

    private:
        friend class FileClaims;
        std::weak_ptr<Table> m_table;
        quint64 m_id = 0;
    };

    FileClaims() = default;
    FileClaims(const FileClaims &) = delete;
    FileClaims &operator=(const FileClaims &) = delete;

    // Claims the file that `path` names for `writer`, or throws FileError
    // (Kind::Claimed) naming the writer that holds it. A writer moving to
    // another file passes the claim it is `replacing`, which does not count.
    [[nodiscard]] Claim claim(Writer writer, const QString &path, const Claim *replacing = nullptr);
    // Throws as claim() would, and claims nothing: for asking before a
    // question that a refusal would make moot.
    void check(const QString &path, const Claim *replacing = nullptr) const;

private:
    struct Entry {
        quint64 id = 0;
        Writer writer = Writer::Save;
        QString path;
        FileIdentity pinned;  // null while the path decides
    };

    std::shared_ptr<Table> m_table = std::make_shared<Table>();
    quint64 m_lastId = 0;
};
