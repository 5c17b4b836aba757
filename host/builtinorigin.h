#pragma once

class QUrl;

// Whether a request's initiator is the built-in application: its pages are
// served from "qrc:", whose origin carries neither host nor path. The folders
// the station reads are offered to it alone.
bool fromBuiltInApplication(const QUrl &initiator);
