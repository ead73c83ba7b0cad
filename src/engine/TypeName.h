// TypeName: readable type names for log lines, in the style the queues report
// them: "Job", "URL" (a Location), "String", "Array<Job>", "OrderedSet<URL>".
// Types without a name of their own fall back to their demangled C++ name.
//
// Stateless; safe from any thread.
#pragma once

#include "model/Job.h"
#include "model/Location.h"
#include "model/OrderedSet.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>
#include <vector>

namespace trevalin {

template <typename T> struct TypeName {
    static QString get() {
        int status = 0;
        char* demangled = abi::__cxa_demangle(typeid(T).name(), nullptr, nullptr, &status);
        QString out =
            (status == 0 && demangled) ? QString::fromUtf8(demangled) : QString::fromUtf8(typeid(T).name());
        std::free(demangled);
        return out;
    }
};

template <typename T> QString typeName() {
    return TypeName<std::remove_cv_t<std::remove_reference_t<T>>>::get();
}

template <> struct TypeName<Job> {
    static QString get() { return QStringLiteral("Job"); }
};
template <> struct TypeName<Location> {
    static QString get() { return QStringLiteral("URL"); }
};
template <> struct TypeName<QUrl> {
    static QString get() { return QStringLiteral("QUrl"); }
};
template <> struct TypeName<QString> {
    static QString get() { return QStringLiteral("String"); }
};
template <> struct TypeName<int> {
    static QString get() { return QStringLiteral("Int32"); }
};
template <> struct TypeName<std::int64_t> {
    static QString get() { return QStringLiteral("Int"); }
};
template <> struct TypeName<double> {
    static QString get() { return QStringLiteral("Double"); }
};
template <> struct TypeName<bool> {
    static QString get() { return QStringLiteral("Bool"); }
};
template <> struct TypeName<FileObjectPtr> {
    static QString get() { return QStringLiteral("FileObject"); }
};
template <typename T> struct TypeName<QList<T>> {
    static QString get() { return QStringLiteral("Array<") + typeName<T>() + QStringLiteral(">"); }
};
template <typename T, typename A> struct TypeName<std::vector<T, A>> {
    static QString get() { return QStringLiteral("Array<") + typeName<T>() + QStringLiteral(">"); }
};
template <typename T, typename H, typename E> struct TypeName<OrderedSet<T, H, E>> {
    static QString get() { return QStringLiteral("OrderedSet<") + typeName<T>() + QStringLiteral(">"); }
};

} // namespace trevalin
