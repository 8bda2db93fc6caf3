/* A C host built against an installed Dutygate through pkg-config: creates a
 * clsShiftClass, polls ShiftClass once, releases it. */
#include <dutygate/dutygate.h>

#include <stdio.h>
#include <string.h>

static int events;

static void sink(void* context, int32_t dispid, const char* event_name, const dg_variant* args, uint32_t argc) {
    (void)context;
    (void)args;
    printf("event %s dispid %d argc %u\n", event_name, (int)dispid, (unsigned)argc);
    ++events;
}

int main(void) {
    dg_object* shift = NULL;
    dg_status status = dg_create_object(DG_PROGID_CLSSHIFTCLASS, &shift);
    if (status < 0) {
        fprintf(stderr, "create failed 0x%08X: %s\n", (unsigned)status, dg_last_error());
        return 1;
    }
    uint32_t cookie = 0;
    int32_t dispid = 0;
    dg_variant result;
    memset(&result, 0xAB, sizeof result);
    if (dg_advise(shift, sink, NULL, &cookie) < 0 || dg_get_dispid(shift, "shiftclass", &dispid) < 0 ||
        dg_invoke(shift, dispid, NULL, 0, &result) < 0) {
        fprintf(stderr, "call failed: %s\n", dg_last_error());
        return 1;
    }
    if (dispid != DG_DISPID_SHIFTCLASS || result.vt != DG_VT_EMPTY) {
        fprintf(stderr, "dispid 0x%08X, result type %u\n", (unsigned)dispid, (unsigned)result.vt);
        return 1;
    }
    dg_unadvise(shift, cookie);
    dg_release(shift);
    printf("c consumer ok: Dutygate %s, ShiftClass 0x%08X\n", dg_version(), (unsigned)dispid);
    return 0;
}
