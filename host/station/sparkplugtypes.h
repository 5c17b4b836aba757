#pragma once

#include <QString>
#include <QtGlobal>

// The data types of Sparkplug B metrics, as numbered in the `datatype` field
// of a metric (and the `type` of properties, parameters and data set columns).
namespace Sparkplug {

enum DataType : quint32 {
    Unknown = 0,
    Int8 = 1,
    Int16 = 2,
    Int32 = 3,
    Int64 = 4,
    UInt8 = 5,
    UInt16 = 6,
    UInt32 = 7,
    UInt64 = 8,
    Float = 9,
    Double = 10,
    Boolean = 11,
    String = 12,
    DateTime = 13,
    Text = 14,
    UUID = 15,
    DataSet = 16,
    Bytes = 17,
    File = 18,
    Template = 19,
    PropertySet = 20,
    PropertySetList = 21,
    Int8Array = 22,
    Int16Array = 23,
    Int32Array = 24,
    Int64Array = 25,
    UInt8Array = 26,
    UInt16Array = 27,
    UInt32Array = 28,
    UInt64Array = 29,
    FloatArray = 30,
    DoubleArray = 31,
    BooleanArray = 32,
    StringArray = 33,
    DateTimeArray = 34,
};

inline bool isNumeric(quint32 type)
{
    return type >= Int8 && type <= Double;
}

inline bool isInteger(quint32 type)
{
    return type >= Int8 && type <= UInt64;
}

inline QString dataTypeName(quint32 type)
{
    static const char *const names[] = { "Unknown", "Int8", "Int16", "Int32", "Int64", "UInt8",
        "UInt16", "UInt32", "UInt64", "Float", "Double", "Boolean", "String", "DateTime", "Text",
        "UUID", "DataSet", "Bytes", "File", "Template", "PropertySet", "PropertySetList",
        "Int8Array", "Int16Array", "Int32Array", "Int64Array", "UInt8Array", "UInt16Array",
        "UInt32Array", "UInt64Array", "FloatArray", "DoubleArray", "BooleanArray", "StringArray",
        "DateTimeArray" };
    if (type < sizeof(names) / sizeof(names[0]))
        return QString::fromLatin1(names[type]);
    return QStringLiteral("type %1").arg(type);
}

} // namespace Sparkplug
