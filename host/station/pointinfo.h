#pragma once

#include <QString>

// A point's catalogue entry, as the page's `PointInfo` has it.
struct PointInfo
{
    QString id;
    QString kind; // "analog" or "discrete"
    QString unit;
    QString description;

    bool operator==(const PointInfo &other) const
    {
        return id == other.id && kind == other.kind && unit == other.unit
            && description == other.description;
    }
};
