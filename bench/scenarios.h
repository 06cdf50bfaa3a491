#pragma once

#include "consolerig.h"

#include <QJsonObject>
#include <QString>

class BenchApplication;
struct BenchScale;

// One measurement in a freshly started console, so that each starts from
// the same memory and no run inherits another's heap.
//
//   idle    short replies to an idle console, one at a time
//   flood   ordinary lines as fast as the console takes them, with replies
//   floodlog  the same with the receive log on, to a file on the disk
//   floodtimes  the same with the receive times shown
//   floodnotimes  the same with no receive times taken, to weigh what they cost
//   line    one line without line ends
//   levels  ours: a flood to the top level and beyond, noting cost and memory
//           on the way; baseline: the text replaced once by `level` bytes,
//           then appends for a while
//   history ours only: the top level held; find a reply at its very end,
//           save it all, select everything and delete it, undo that
//   hexview ours only: the top level held; the hex view, then its last row
//   replug  ours only: the device behind port 2's link vanishes and a new
//           one comes up behind it, again and again; then it stays away
//
// Returns the figures, or an object with "error".
QJsonObject runScenario(BenchApplication &app, const QString &name, ConsoleRig::View view,
                        qint64 level, const BenchScale &scale);
