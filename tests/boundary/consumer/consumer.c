/* The C interface, linked (not loaded) from the installed package. */
#include <stdio.h>
#include <tarnlow/tarnlow_c.h>

int main(void) {
  tarnlow_object* object = NULL;
  tarnlow_value version;
  if (tarnlow_create_object("clsTarnlowSTDataVer", &object) != TARNLOW_OK ||
      tarnlow_get(object, "TarnlowSTDataVer", NULL, 0, &version) != TARNLOW_OK) {
    fprintf(stderr, "error %d: %s\n", (int)tarnlow_last_error()->number, tarnlow_last_error()->description);
    return 1;
  }
  printf("%s; from C; %d object alive\n", version.as.text.data, (int)tarnlow_live_objects());
  tarnlow_value_free(&version);
  tarnlow_object_release(object);
  return tarnlow_can_unload_now() ? 0 : 1;
}
