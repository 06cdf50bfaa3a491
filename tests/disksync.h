#pragma once

#include <QString>

// The disk's sync as a test wants it: fdatasync() fails, or waits, on
// request. This file's fdatasync() takes the place of the system's for the
// whole test program (Qt's QSaveFile calls it too), so a test that uses it
// must not run where the system's sync matters. Without a request it is the
// system's.
namespace DiskSync {

// Syncs of the file at path (the file it names now, through any link) fail
// with EIO, as on a stick pulled out, until clear().
void failFor(const QString &path);
// From now on every sync waits until release().
void hold();
void release();
// Whether a sync is waiting now.
bool isWaiting();
// No more failures.
void clear();

}  // namespace DiskSync
