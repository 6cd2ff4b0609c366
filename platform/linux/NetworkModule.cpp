#include "platform/linux/NetworkModule.h"

#include "platform/linux/QtNetworkService.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT Network *quillory_make_network()
{
    return new QtNetworkService;
}
