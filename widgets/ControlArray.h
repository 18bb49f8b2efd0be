#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>

namespace widgets {

// A control array: elements of one kind addressed by index, created and
// removed while a window runs. Element i is named "<name>_<i>" so tests and
// accessibility clients find it. Creating an element that exists and
// removing one that does not fail without changing anything: callers use
// that to tell whether a row is there already.
template<typename T>
class ControlArray
{
public:
    using Factory = std::function<T *(QWidget *parent)>;

    ControlArray(QString name, QWidget *parent, Factory factory)
        : m_name(std::move(name)), m_parent(parent), m_factory(std::move(factory))
    {
    }

    T *at(int i) const
    {
        auto it = m_elements.find(i);
        return it == m_elements.end() ? nullptr : it->second.data();
    }
    T *operator()(int i) const { return at(i); }
    bool exists(int i) const { return at(i) != nullptr; }

    // A new element is hidden; false when element i exists already.
    bool create(int i)
    {
        if (exists(i))
            return false;
        T *element = m_factory(m_parent);
        element->setObjectName(QStringLiteral("%1_%2").arg(m_name).arg(i));
        if (m_accessibleName)
            element->setAccessibleName(m_accessibleName(i));
        element->hide();
        m_elements[i] = element;
        return true;
    }

    // False when element i does not exist.
    bool remove(int i)
    {
        T *element = at(i);
        if (!element)
            return false;
        m_elements.erase(i);
        element->hide();
        // Out of the window at once (no longer found among its children),
        // deleted once the event that removed it has been handled.
        element->setParent(nullptr);
        element->deleteLater();
        return true;
    }

    const QString &name() const { return m_name; }

    // What a screen reader calls element i; applied to each element as it
    // is created, so that rows added later read as the first one does.
    void setAccessibleNames(std::function<QString(int)> nameOf) { m_accessibleName = std::move(nameOf); }

    // The index of an element of this array, or -1 for any other object.
    int indexOf(const QObject *element) const
    {
        for (const auto &[i, e] : m_elements) {
            if (e.data() == element)
                return i;
        }
        return -1;
    }

private:
    QString m_name;
    QWidget *m_parent;
    Factory m_factory;
    std::function<QString(int)> m_accessibleName;
    std::map<int, QPointer<T>> m_elements;
};

} // namespace widgets
