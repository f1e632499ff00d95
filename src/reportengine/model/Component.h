// The base of every report object: TfrxComponent, a QObject whose published properties are
// Q_PROPERTYs (templates and scripts reach them by name), with geometry in 96-dpi pixels, an
// ordered list of owned objects and navigation to its parent, page and report; and the sub-objects
// that properties such as Font, Frame and DisplayFormat hold (TfrxPersistent descendants, written
// in templates with dotted names).
//
// Lifetime: a component owns the objects in its Objects() list and deletes them with itself;
// deleting an object removes it from its parent's list. Sub-objects are members of their component.
// Thread contract: a report and its objects belong to one thread at a time (the UI thread, or the
// thread preparing the report); nothing here locks.
#pragma once

#include "reportengine/model/ModelTypes.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <vector>

namespace reportengine {

class TfrxReport;
class TfrxPage;

// A group of published properties owned by a component (Font, Frame ...).
class TfrxPersistent : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Copies every property (nested sub-objects too) from another of the same class.
    void Assign(const TfrxPersistent& source);
};

class TfrxFont : public TfrxPersistent {
    Q_OBJECT
    Q_PROPERTY(int Charset MEMBER Charset)
    Q_PROPERTY(int Color MEMBER Color)
    Q_PROPERTY(int Height MEMBER Height)
    Q_PROPERTY(QString Name MEMBER Name)
    Q_PROPERTY(int Style MEMBER Style)
    Q_PROPERTY(double Size READ Size WRITE SetSize STORED false)
public:
    int Charset = 1;  // DEFAULT_CHARSET; 204 Cyrillic
    int Color = clBlack;
    int Height = -13;  // minus the pixel height at 96 dpi: -13 is 10 pt
    QString Name = QStringLiteral("Arial");
    int Style = 0;  // 1 bold, 2 italic, 4 underline, 8 strikeout

    double Size() const { return -Height * 72.0 / 96.0; }
    void SetSize(double points);
    bool operator==(const TfrxFont& o) const;
};

class TfrxFrame : public TfrxPersistent {
    Q_OBJECT
    Q_PROPERTY(int Color MEMBER Color)
    Q_PROPERTY(reportengine::TfrxFrameStyle Style MEMBER Style)
    Q_PROPERTY(int Typ MEMBER Typ)
    Q_PROPERTY(double Width MEMBER Width)
public:
    int Color = clBlack;
    TfrxFrameStyle Style = fsSolid;
    int Typ = 0;  // 1 left, 2 right, 4 top, 8 bottom
    double Width = 1;
};

class TfrxDisplayFormat : public TfrxPersistent {
    Q_OBJECT
    Q_PROPERTY(QString DecimalSeparator MEMBER DecimalSeparator)
    Q_PROPERTY(QString FormatStr MEMBER FormatStr)
    Q_PROPERTY(reportengine::TfrxFormatKind Kind MEMBER Kind)
public:
    QString DecimalSeparator;
    QString FormatStr;
    TfrxFormatKind Kind = fkText;
};

class TfrxHighlight : public TfrxPersistent {
    Q_OBJECT
    Q_PROPERTY(reportengine::TfrxFont* Font READ GetFont)
    Q_PROPERTY(int Color MEMBER Color)
    Q_PROPERTY(QString Condition MEMBER Condition)
public:
    TfrxHighlight() { Font.Color = 0x0000FF; }  // red text unless the template says otherwise
    TfrxFont Font;
    int Color = clNone;
    QString Condition;
    TfrxFont* GetFont() { return &Font; }
};

class TfrxComponent : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(double Left MEMBER Left)
    Q_PROPERTY(double Top MEMBER Top)
    Q_PROPERTY(double Width MEMBER Width)
    Q_PROPERTY(double Height MEMBER Height)
    Q_PROPERTY(QObject* Parent READ ParentObject STORED false)
    Q_PROPERTY(QObject* Report READ ReportObject STORED false)
    Q_PROPERTY(QObject* Page READ PageObject STORED false)
public:
    explicit TfrxComponent(TfrxComponent* parent = nullptr);
    ~TfrxComponent() override;

    double Left = 0, Top = 0, Width = 0, Height = 0;

    QString Name() const { return objectName(); }
    void SetName(const QString& name) { setObjectName(name); }

    TfrxComponent* Parent() const { return FParent; }
    // Moves this object to the end of (or to index in) parent's objects; null detaches it.
    void SetParent(TfrxComponent* parent, int index = -1);
    const std::vector<TfrxComponent*>& Objects() const { return FObjects; }
    // Every owned object below this one, depth first in list order.
    std::vector<TfrxComponent*> AllObjects() const;
    void ClearObjects();
    TfrxReport* Report() const;
    TfrxPage* Page() const;
    // The object of that name anywhere in this object's report (the topmost owner when there is
    // no report), ignoring letter case; null when none.
    Q_INVOKABLE reportengine::TfrxComponent* FindObject(const QString& name) const;
    // The unqualified class name templates and scripts use ("TfrxMemoView").
    QString ClassName() const;

    // Template writing asks this before each property; pages and the report leave out what they
    // derive from other properties.
    virtual bool IsStoredProperty(const char* name) const { return true; }
    // Attributes the reader did not know, written back unchanged after the known ones.
    QList<QPair<QString, QString>> ExtraAttributes;

    // The font that applies: own font, or the nearest owner's when ParentFont is set. Objects
    // without a font answer the report default.
    virtual const TfrxFont& UsedFont() const;

    // Copies every stored property (sub-objects too) from an object of the same class.
    void AssignProperties(const TfrxComponent& source);

protected:
    QObject* ParentObject() const { return FParent; }
    QObject* ReportObject() const;
    QObject* PageObject() const;

private:
    TfrxComponent* FParent = nullptr;
    std::vector<TfrxComponent*> FObjects;
};

// Objects drawn or run by the report engine: bands, views, dialog controls.
class TfrxReportComponent : public TfrxComponent {
    Q_OBJECT
    Q_PROPERTY(bool Visible MEMBER Visible)
    Q_PROPERTY(QString OnAfterPrint MEMBER OnAfterPrint)
    Q_PROPERTY(QString OnBeforePrint MEMBER OnBeforePrint)
public:
    using TfrxComponent::TfrxComponent;
    bool Visible = true;
    QString OnAfterPrint;  // script procedure names
    QString OnBeforePrint;
};

// Copies the properties of one QObject onto another of the same class, recursing into
// TfrxPersistent sub-objects; properties that are not stored or not writable are skipped.
void CopyStoredProperties(const QObject& source, QObject& target);
// True when a property of this type holds a sub-object written with dotted names.
bool IsPersistentType(const QMetaProperty& property);
// True when a property refers to another component by name.
bool IsReferenceType(const QMetaProperty& property);

}  // namespace reportengine
