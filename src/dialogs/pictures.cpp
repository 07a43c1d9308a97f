#include "dialogs/pictures.h"

#include <QtGlobal>

// Q_INIT_RESOURCE cannot be used inside a namespace.
static void registerPictureResources() {
    Q_INIT_RESOURCE(pictures);
}

namespace tavomi {

void initPictures() {
    registerPictureResources();
}

}  // namespace tavomi
