#pragma once

class QString;

// Whether `host` (a name, an IPv4 or IPv6 address, brackets allowed) names
// this machine: "localhost", 127.0.0.0/8 or ::1. Names are not looked up.
bool isLoopbackHost(const QString &host);
