# The bridge's function table (shared/bridge/Functions.json) is the one place
# where a function of window.qvx is declared. From it this file writes, into
# <build>/generated/bridge:
#
#   QVX_EXTERNAL_JAVASCRIPT.js  the page's script library (Library.js.in with
#                               one wrapper a function)
#   BridgeTable.inc             one NORVANE_BRIDGE_FUNCTION(...) row a
#                               function, for the dispatcher's registration
#                               and the packer's declarations
#   BRIDGE.md                   the reference page (docs/BRIDGE.md is a copy,
#                               checked by a test and renewed by the target
#                               bridge-docs)
#
# A row of the table:
#   id           the function's number (positive, unique)
#   name         "qvx.<name>" or "qvx.<namespace>.<name>"
#   args         present when the wrapper passes the page's argument object:
#                its keys in order, each "<key>: <TypeScript type>", with "?"
#                after an optional key
#   runs         "anywhere", or "runtime" (refused without a payload archive)
#   refusal      the name the refusal text gives, when not the function's own
#   handler      the module's member function that serves it
#   via          the library's function that carries the call instead of
#                call (one of Library.js.in, given the number and the
#                arguments), for a wrapper that does more than one call
#   reply        the TypeScript type the promise resolves with
#   description  one line
#
# The files are written when the table or the template changes (the table is
# a configure dependency), and only rewritten when their text changes.

set(NORVANE_BRIDGE_TABLE ${CMAKE_SOURCE_DIR}/shared/bridge/Functions.json)
set(NORVANE_BRIDGE_LIBRARY_TEMPLATE ${CMAKE_SOURCE_DIR}/shared/bridge/Library.js.in)
set(NORVANE_BRIDGE_GENERATED ${CMAKE_BINARY_DIR}/generated/bridge)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${NORVANE_BRIDGE_TABLE}
                                                                ${NORVANE_BRIDGE_LIBRARY_TEMPLATE})

# Text as the contents of a C++ string literal.
function(_norvane_bridge_cxx_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# Writes Text to File only when it differs from what File holds.
function(_norvane_bridge_write file text)
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${file} "${text}")
endfunction()

function(_norvane_bridge_fail row message)
  message(FATAL_ERROR "${NORVANE_BRIDGE_TABLE}, function ${row}: ${message}")
endfunction()

function(norvane_generate_bridge)
  file(READ ${NORVANE_BRIDGE_TABLE} table)
  file(READ ${NORVANE_BRIDGE_LIBRARY_TEMPLATE} library)
  string(JSON count ERROR_VARIABLE error LENGTH "${table}" functions)
  if(error)
    message(FATAL_ERROR "${NORVANE_BRIDGE_TABLE}: ${error}")
  endif()
  math(EXPR last "${count} - 1")

  set(rows "// Generated from shared/bridge/Functions.json; do not edit.\n")
  set(namespaces "")      # in the order of their first function
  set(top "")             # wrappers of qvx.<name>
  set(ids "")
  set(doc_index "")
  foreach(i RANGE ${last})
    string(JSON id GET "${table}" functions ${i} id)
    string(JSON name GET "${table}" functions ${i} name)
    string(JSON runs GET "${table}" functions ${i} runs)
    string(JSON handler GET "${table}" functions ${i} handler)
    string(JSON reply GET "${table}" functions ${i} reply)
    string(JSON description GET "${table}" functions ${i} description)
    string(JSON refusal ERROR_VARIABLE no_refusal GET "${table}" functions ${i} refusal)
    if(no_refusal)
      set(refusal "")
    endif()
    string(JSON args_type ERROR_VARIABLE no_args TYPE "${table}" functions ${i} args)
    string(JSON via ERROR_VARIABLE no_via GET "${table}" functions ${i} via)
    if(no_via)
      set(via "call")
    elseif(NOT via MATCHES "^[a-z][A-Za-z0-9]*$" OR NOT library MATCHES "\n    ${via}: function \\(")
      _norvane_bridge_fail(${id} "via names '${via}', no function of ${NORVANE_BRIDGE_LIBRARY_TEMPLATE}")
    endif()

    if(NOT id MATCHES "^[1-9][0-9]*$" OR id GREATER 2147483647)
      _norvane_bridge_fail(${i} "the id '${id}' is no positive 32-bit number")
    endif()
    if(id IN_LIST ids)
      _norvane_bridge_fail(${id} "the number is used twice")
    endif()
    list(APPEND ids ${id})
    if(NOT name MATCHES "^qvx\\.(([a-zA-Z][a-zA-Z0-9]*)\\.)?([a-zA-Z][a-zA-Z0-9]*)$")
      _norvane_bridge_fail(${id} "the name '${name}' is not qvx.<name> or qvx.<namespace>.<name>")
    endif()
    set(namespace "${CMAKE_MATCH_2}")
    set(member "${CMAKE_MATCH_3}")
    if(NOT handler MATCHES "^[A-Z][A-Za-z0-9]*$")
      _norvane_bridge_fail(${id} "the handler '${handler}' is no member function name")
    endif()
    if(runs STREQUAL "runtime")
      set(runtime_only true)
    elseif(runs STREQUAL "anywhere")
      set(runtime_only false)
      if(NOT refusal STREQUAL "")
        _norvane_bridge_fail(${id} "a refusal is given for a function that runs anywhere")
      endif()
    else()
      _norvane_bridge_fail(${id} "runs is '${runs}', not anywhere or runtime")
    endif()

    # The argument object's TypeScript type and the page's argument list.
    set(takes_args false)
    set(args_ts "")
    set(doc_args "none")
    if(no_args)
      # No argument object: the wrapper passes {}.
    elseif(NOT args_type STREQUAL "ARRAY")
      _norvane_bridge_fail(${id} "args is no array")
    else()
      set(takes_args true)
      string(JSON nargs LENGTH "${table}" functions ${i} args)
      set(fields "")
      set(doc_fields "")
      if(nargs GREATER 0)
        math(EXPR nlast "${nargs} - 1")
        foreach(a RANGE ${nlast})
          string(JSON field GET "${table}" functions ${i} args ${a})
          if(NOT field MATCHES "^([a-zA-Z][a-zA-Z0-9]*\\??): (.+)$")
            _norvane_bridge_fail(${id} "the argument '${field}' is not '<name>: <type>'")
          endif()
          list(APPEND fields "${field}")
          string(REPLACE "|" "\\|" doc_field "${field}")
          list(APPEND doc_fields "`${doc_field}`")
        endforeach()
      endif()
      list(JOIN doc_fields ", " doc_args)
      list(JOIN fields "; " args_ts)
      if(args_ts STREQUAL "")
        set(args_ts "{}")
      else()
        set(args_ts "{ ${args_ts} }")
      endif()
      if(doc_args STREQUAL "")
        set(doc_args "`{}`")
      endif()
    endif()

    _norvane_bridge_cxx_string(c_name "${name}")
    _norvane_bridge_cxx_string(c_refusal "${refusal}")
    _norvane_bridge_cxx_string(c_args "${args_ts}")
    _norvane_bridge_cxx_string(c_reply "${reply}")
    _norvane_bridge_cxx_string(c_description "${description}")
    string(APPEND rows "NORVANE_BRIDGE_FUNCTION(${id}, ${c_name}, ${takes_args}, ${runtime_only}, ${c_refusal}, "
                       "${handler}, ${c_args}, ${c_reply}, ${c_description})\n")

    # The wrapper in the script library.
    if(takes_args)
      set(parameter "args")
      set(passed "args")
    else()
      set(parameter "")
      set(passed "{}")
    endif()
    if(namespace STREQUAL "")
      string(APPEND top "    ${member}: function (${parameter}) {\n        return this.${via}(${id}, ${passed});\n    },\n")
    else()
      if(NOT namespace IN_LIST namespaces)
        list(APPEND namespaces ${namespace})
        set(ns_${namespace} "")
      endif()
      if(NOT ns_${namespace} STREQUAL "")
        string(APPEND ns_${namespace} ",\n")
      endif()
      string(APPEND ns_${namespace}
             "        ${member}: function (${parameter}) {\n            return window.qvx.${via}(${id}, ${passed});\n        }")
    endif()

    # The reference page.
    if(runtime_only)
      set(where "packaged application only")
      if(NOT refusal STREQUAL "")
        set(where "packaged application only (refused as ${refusal}())")
      endif()
    else()
      set(where "anywhere")
    endif()
    if(namespace STREQUAL "")
      set(section "General")
    else()
      set(section "qvx.${namespace}")
    endif()
    if(NOT DEFINED doc_${section})
      list(APPEND doc_sections ${section})
      set(doc_${section} "")
    endif()
    string(REPLACE "|" "\\|" doc_reply "${reply}")
    string(REPLACE "|" "\\|" doc_description "${description}")
    string(APPEND doc_${section}
           "| ${id} | `${name}(${parameter})` | ${doc_args} | `${doc_reply}` | ${where} | ${doc_description} |\n")
  endforeach()

  # The script library.
  set(functions "${top}")
  if(NOT top STREQUAL "")
    string(APPEND functions "\n")
  endif()
  foreach(namespace ${namespaces})
    string(APPEND functions "    ${namespace}: {\n${ns_${namespace}}\n    },\n\n")
  endforeach()
  string(FIND "${library}" "@QVX_FUNCTIONS@" at)
  if(at LESS 0)
    message(FATAL_ERROR "${NORVANE_BRIDGE_LIBRARY_TEMPLATE} has no @QVX_FUNCTIONS@")
  endif()
  string(REPLACE "@QVX_FUNCTIONS@" "${functions}" library "${library}")

  # The reference page.
  set(doc "<!-- Generated from shared/bridge/Functions.json by cmake/Bridge.cmake; ")
  string(APPEND doc "renew with: cmake --build build --target bridge-docs -->\n")
  string(APPEND doc "# The bridge: window.qvx\n\n"
         "Every page of a packaged application has `window.qvx`. Each function posts one request to the host "
         "and returns a promise that the host's reply settles: resolved with the reply's value, or rejected with "
         "its error text. Functions marked \"packaged application only\" show a refusal and never settle outside a "
         "packaged application. `norvane-pack types` writes the same functions as TypeScript declarations "
         "(`qvx.d.ts`).\n\n"
         "```js\n"
         "const exists = await qvx.files.fileExists({ filePath: 'notes.txt' });\n"
         "if (!exists) await qvx.files.writeTextFile({ filePath: 'notes.txt', contents: 'first line' });\n"
         "const output = await qvx.shell.command({ command: 'ls -l' });\n"
         "```\n\n"
         "Relative paths start at the program's folder.\n\n"
         "## Events\n\n"
         "The host calls handlers of `qvx.events`, which a page may replace (only in the application's own "
         "documents; a web page the application went to hears nothing):\n\n"
         "| Handler | When |\n|---|---|\n"
         "| `onCloseQuery()` | the user closes the window; the default closes the application |\n"
         "| `onMainMenuItemClick(itemId)` | a menu item is chosen |\n"
         "| `onProcessOutput(id, stream, text)` | a process of `qvx.process.spawn` printed `text` on `stream` "
         "(`\"stdout\"` or `\"stderr\"`), decoded as UTF-8 with bytes that are no UTF-8 as U+FFFD; at most 16 KiB a "
         "call, in the order read. While a process's text of 1 MiB waits for the page, the host stops reading "
         "its output and the process waits |\n"
         "| `onProcessExit(id, code)` | the process ended, after its last output; `code` is its exit code (128 plus "
         "the signal's number for a process a signal ended). A program it left running in the background does not "
         "delay it, and what that program writes afterwards is not reported |\n"
         "| `onWindowResize(width, height)` | the window's outer size (its frame included) changed, once it has stayed for 150 ms |\n"
         "| `onWindowMove(left, top)` | the window (its frame's top-left corner) moved, once it has stayed for 150 ms |\n"
         "| `onWindowStateChange(state)` | the window was minimized, maximized or restored: `\"minimized\"`, "
         "`\"maximized\"` or `\"normal\"` |\n"
         "| `onWindowFocus(focused)` | the window became active (`true`) or not (`false`) |\n"
         "| `onSecondInstance(args)` | the application was started again while it runs alone (without "
         "`AllowInstances`); `args` are that start's arguments after the program |\n"
         "| `onFilesDropped(paths)` | the user dropped local files on the window (from a file manager, say); "
         "`paths` are their full paths in the drop's order. The page's own drop events still run, but WebKit "
         "gives them no file's path or contents |\n"
         "| `onThemeChange(theme)` | the desktop's theme or the application's visual theme changed; `theme` is "
         "`qvx.themes.getTheme()`'s |\n\n"
         "```js\n"
         "const id = await qvx.process.spawn({ command: 'ping', args: ['-c', '3', 'localhost'] });\n"
         "qvx.events.onProcessOutput = (pid, stream, text) => { if (pid === id) log.textContent += text; };\n"
         "qvx.events.onProcessExit = (pid, code) => { if (pid === id) log.textContent += 'ended: ' + code; };\n"
         "qvx.events.onFilesDropped = async (paths) => { for (const p of paths) show(await qvx.files.stat({ path: p })); };\n"
         "```\n\n"
         "Processes started by `qvx.process.spawn` are ended when the window closes. Their standard input is a "
         "pipe: `qvx.process.write` resolves once the text is written (at most 16 MiB may wait), "
         "`qvx.process.closeInput` ends it.\n")
  foreach(section ${doc_sections})
    string(APPEND doc "\n## ${section}\n\n| Number | Function | Arguments | Resolves with | Runs | What it does |\n"
                      "|---|---|---|---|---|---|\n${doc_${section}}")
  endforeach()
  string(APPEND doc "\n## Files and their bytes\n\n"
         "```js\n"
         "const info = await qvx.files.stat({ path: 'data' });\n"
         "if (info.isDirectory) {\n"
         "  for (const entry of await qvx.files.listDir({ dirPath: 'data' })) console.log(entry.name, entry.size);\n"
         "}\n"
         "await qvx.files.appendTextFile({ filePath: 'data/log.txt', contents: 'started\\n' });\n"
         "await qvx.files.copy({ source: 'data/log.txt', target: 'backup/log.txt', overwrite: true });\n"
         "await qvx.folders.createDir({ dirPath: 'archive/2026' });\n"
         "await qvx.files.move({ source: 'backup', target: 'archive/2026/backup' });\n"
         "const bytes = new Uint8Array(await qvx.files.readBinaryFile({ filePath: 'data/picture.png' }));\n"
         "await qvx.files.writeBinaryFile({ filePath: 'backup/picture.png', data: bytes });\n"
         "```\n\n"
         "`readBinaryFile` and `writeBinaryFile` move the bytes without base64: the call answers a one-time address "
         "of the application's own origin, which the library fetches or posts the bytes to. A copy or move never "
         "replaces an existing target unless `overwrite` is true.\n")

  file(MAKE_DIRECTORY ${NORVANE_BRIDGE_GENERATED})
  _norvane_bridge_write(${NORVANE_BRIDGE_GENERATED}/BridgeTable.inc "${rows}")
  _norvane_bridge_write(${NORVANE_BRIDGE_GENERATED}/QVX_EXTERNAL_JAVASCRIPT.js "${library}")
  _norvane_bridge_write(${NORVANE_BRIDGE_GENERATED}/BRIDGE.md "${doc}")
endfunction()

norvane_generate_bridge()

# docs/BRIDGE.md renewed from the table (a test checks that it is current).
add_custom_target(bridge-docs
  COMMAND ${CMAKE_COMMAND} -E copy ${NORVANE_BRIDGE_GENERATED}/BRIDGE.md ${CMAKE_SOURCE_DIR}/docs/BRIDGE.md
  COMMENT "Renewing docs/BRIDGE.md from shared/bridge/Functions.json"
  VERBATIM)
