#pragma once
// Child look-ups by class that the compiler checks: findChild<T*> compares meta-objects, and a class
// without Q_OBJECT shares its base's, so it would match every other dialog (a hidden progress window
// taken for the telescope dialog). These refuse such a class at compile time.
#include <QList>
#include <QObject>
#include <type_traits>

namespace nyxel {

template <class T>
inline constexpr bool kHasOwnMetaObject =
    std::is_same_v<decltype(&T::qt_metacast), void* (T::*)(const char*)>;

template <class T>
T* FindChildOf(const QObject& parent, Qt::FindChildOptions options = Qt::FindChildrenRecursively) {
  static_assert(kHasOwnMetaObject<T>, "the class needs Q_OBJECT to be found by its type");
  return parent.findChild<T*>(QString(), options);
}

template <class T>
QList<T*> FindChildrenOf(const QObject& parent, Qt::FindChildOptions options = Qt::FindChildrenRecursively) {
  static_assert(kHasOwnMetaObject<T>, "the class needs Q_OBJECT to be found by its type");
  return parent.findChildren<T*>(QString(), options);
}

}  // namespace nyxel
