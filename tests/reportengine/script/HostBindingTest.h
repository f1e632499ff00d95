// Small host classes for the host-binding tests: a dialog control with a Q_PROPERTY of every kind
// the engine converts, Q_INVOKABLE methods and a string list; a tree view derived from it (the
// script registers both by name); and a derived tree no registration names, for exact-class checks.
// Thread contract: test objects, used on the test's thread.
#pragma once

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QStringList>

namespace hosttest {

class TfrxDialogControl : public QObject {
    Q_OBJECT
public:
    enum Align { haLeft, haRight, haCenter };
    Q_ENUM(Align)

private:
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(int Tag MEMBER Tag)
    Q_PROPERTY(double Ratio MEMBER Ratio)
    Q_PROPERTY(bool Enabled MEMBER Enabled)
    Q_PROPERTY(QDateTime Stamp MEMBER Stamp)
    Q_PROPERTY(QDate Day MEMBER Day)
    Q_PROPERTY(QColor Color MEMBER Color)
    Q_PROPERTY(Align Alignment MEMBER Alignment)
    Q_PROPERTY(QStringList Lines MEMBER Lines)
    Q_PROPERTY(QObject* Partner MEMBER Partner)
    Q_PROPERTY(int Version READ Version)

public:
    using QObject::QObject;
    QString Caption;
    int Tag = 0;
    double Ratio = 0;
    bool Enabled = true;
    QDateTime Stamp;
    QDate Day;
    QColor Color;
    Align Alignment = haLeft;
    QStringList Lines;
    QObject* Partner = nullptr;
    int Version() const { return 7; }

    Q_INVOKABLE QString Greet(const QString& who, int times) const {
        return QString(Caption + ":" + who).repeated(times);
    }
    Q_INVOKABLE void Reset() {
        Tag = 0;
        Lines.clear();
    }
};

class TfrxTreeView : public TfrxDialogControl {
    Q_OBJECT
public:
    using TfrxDialogControl::TfrxDialogControl;
    QStringList Roots;
};

class TfrxOtherTree : public TfrxTreeView {
    Q_OBJECT
public:
    using TfrxTreeView::TfrxTreeView;
};

}  // namespace hosttest
