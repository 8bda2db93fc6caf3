/*
 * The command codes the dialogs report in their events: BackAdmin's
 * iCommand and the shift dialog's save/exit step. Plain values with no
 * other declaration, so that the dialogs themselves can take them from here
 * beside the hosts that read them (dutygate.h includes this header).
 */
#ifndef DUTYGATE_DUTYGATE_COMMANDS_H
#define DUTYGATE_DUTYGATE_COMMANDS_H

/* A confirmed step: a login check made (Data names the level logged in after
 * it, unchanged by a failed check), a password changed, the shift settings
 * saved. */
#define DG_COMMAND_CONFIRM 199
/* A step left: the login dialog cancelled, a logout, the shift dialog closed. */
#define DG_COMMAND_LEAVE 200

#endif
