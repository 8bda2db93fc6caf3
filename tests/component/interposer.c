/* A library that exports some of libdutygate's entry point names, loaded
 * ahead of it: libdutygate's own calls must not end up here. */
#include <stddef.h>
#include <stdint.h>

#define EXPORT __attribute__((visibility("default")))

EXPORT int32_t DllGetClassObject(const void* clsid, const void* iid, void** out) {
    (void)clsid;
    (void)iid;
    if (out != NULL) *out = NULL;
    return (int32_t)0x80004005;
}

EXPORT int32_t dg_factory_create_instance(void* factory, void** out) {
    (void)factory;
    if (out != NULL) *out = NULL;
    return (int32_t)0x80004005;
}
