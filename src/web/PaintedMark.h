/* The mark of a painted page, for the engine's call of an asynchronous
 * script function: it resolves once a frame with the parsed document has
 * been drawn. The load's commit only says that the new document exists, and
 * its first frames may still be blank while the parser has not reached the
 * body. Two animation frames after the parsed document mean that such a frame
 * has been drawn: the first runs before that frame is painted, the second only
 * once it has been. Scripts on the page are not waited for, nor are images.
 *
 * Plain C: the start-up benchmark's bare window uses the same mark without
 * linking the client. */
#pragma once

#define VUKO_PAINTED_SCRIPT                                                             \
  "await new Promise((painted) => {"                                                    \
  "  const frames = () => requestAnimationFrame(() => requestAnimationFrame(painted));" \
  "  if (document.readyState === 'loading')"                                            \
  "    addEventListener('DOMContentLoaded', frames, {once: true});"                     \
  "  else frames();"                                                                    \
  "});"                                                                                 \
  "return true;"
