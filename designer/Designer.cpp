#include "Designer.h"

#include "Form2.h"
#include "Form3.h"

#include "dbconn/Globals.h"
#include "frame/MDI.h"
#include "home/start.h"
#include "platform/Services.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace designer {

namespace {

QPointer<Form2> theStructureView;
QPointer<Form3> theFieldEditor;

const QString NoEntrySelected = QStringLiteral("请先打开数据库,并选择数据表");

QMdiSubWindow* subWindowOf(QWidget* w) {
    return w ? qobject_cast<QMdiSubWindow*>(w->parentWidget()) : nullptr;
}

} // namespace

Form2* structureView() {
    return theStructureView.data();
}

Form3* fieldEditor() {
    return theFieldEditor.data();
}

void ShowFieldEditor() {
    home::start* h = home::homeWindow();
    const QString entry = h ? h->SelectedEntry() : QString();
    if (entry.isEmpty()) {
        platform::services().MsgBox(NoEntrySelected, platform::mb::OkOnly, QString());
        return;
    }
    Form3* form = theFieldEditor.data();
    if (!form) {
        frame::MDI* mdi = frame::mainFrame();
        form = new Form3(mdi);
        form->setAttribute(Qt::WA_DeleteOnClose);
        theFieldEditor = form;
        form->Form_Load();
    } else if (form->loadedEntry() != entry || form->loadedDatabase() != dbconn::globals().DbPath) {
        // The window changes the table it shows, so it must show the table
        // the user has now selected rather than the one it was opened for.
        form->Form_Load();
    }
    form->show();
    form->raise();
    form->activateWindow();
}

void ShowStructureView() {
    frame::MDI* mdi = frame::mainFrame();
    Form2* form = theStructureView.data();
    if (!form) {
        form = new Form2;
        form->setAttribute(Qt::WA_DeleteOnClose);
        theStructureView = form;
        form->Form_Load();
        if (mdi) mdi->ShowChild(form, 240, 120)->adjustSize();
    }
    // Shown again where the user left it, without loading it again.
    if (QMdiSubWindow* sub = subWindowOf(form); sub && mdi) {
        sub->show();
        if (sub->isMinimized()) sub->showNormal();
        mdi->Area->setActiveSubWindow(sub);
    } else {
        form->show();
        form->raise();
    }
}

void UnloadStructureView() {
    Form2* form = theStructureView.data();
    if (!form) return;
    theStructureView.clear();
    QWidget* outer = subWindowOf(form);
    if (!outer) outer = form;
    outer->hide();
    outer->deleteLater();
}

void install() {
    if (frame::MDI* mdi = frame::mainFrame()) {
        // The frame's view item 4 ("表设计视图") and item 5 ("字段\存储过程").
        mdi->Routes.ShowFieldEditor = [] { ShowFieldEditor(); };
        mdi->Routes.ShowStructureView = [] { ShowStructureView(); };
    }
    dbconn::globals().hooks.UnloadStructureView = [] { UnloadStructureView(); };
}

} // namespace designer
