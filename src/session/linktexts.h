#pragma once
// The words of the link's events, shared by the window (status bar, communication list,
// message dialog) and the command line (--verbose). The texts are those the installer
// knows from the workbench and stay exactly as they are.

#include "link/linkevents.h"

#include <QString>

namespace ambrel {

QString LinkStateText(const TLinkStateEvent& event);
QString ComMessageText(const TComMessage& message);
QString LinkNoticeText(TLinkNotice notice);
// How long a notice stays on screen, in milliseconds (0: an error box that waits).
int LinkNoticeMilliseconds(TLinkNotice notice);

} // namespace ambrel
