#include "widgets/DataErrorReporter.h"

#include "platform/Services.h"
#include "store/DataControl.h"
#include "widgets/WriteConflictDialog.h"

namespace widgets {

void reportDataErrors(store::DataControl *data)
{
    data->setConflictResolver(&WriteConflictDialog::ask);
    QObject::connect(data, &store::DataControl::error, data, [](const store::EngineError &e) {
        platform::msgBox(e.text, platform::Buttons::OKOnly, platform::Icon::Exclamation);
    });
}

} // namespace widgets
