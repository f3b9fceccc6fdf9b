# Fails when a file includes a layer above its own:
#   - the core (formats, SQL, model, renderer) includes no window, widget or printer header;
#   - nothing but the main window and main() includes app/;
#   - widgets/, shared by every window, includes no window's folder;
#   - capture/ (camera and crop windows) stands above the core and widgets/, below the main
#     window: no other window includes it, and it includes no other window;
#   - files are written only through common/AtomicFile, which keeps a failed write from replacing
#     the old file: nothing else opens a file for writing, and the PDF writers write to it;
#   - project, badge and scratch files are decoded and encoded only in common/, where the
#     project's code page is applied: nothing else turns their bytes into text or back.
# Run by CTest with CORE_SOURCES (the core target's sources) and SOURCE_DIR (src/).
cmake_minimum_required(VERSION 3.25)

set(problems "")

function(check_file file forbidden why)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
        if(line MATCHES "${forbidden}")
            file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
            string(STRIP "${line}" line)
            set(problems "${problems}\n  ${shown}: ${line} (${why})" PARENT_SCOPE)
        endif()
    endforeach()
endfunction()

foreach(file IN LISTS CORE_SOURCES)
    if(NOT file MATCHES "\\.(h|cpp)$" OR file MATCHES "_autogen/")
        continue()
    endif()
    check_file("${file}"
        "[<\"](app/|widgets/|designer/|capture/|QtWidgets|QtPrintSupport|QtMultimedia|QApplication|QWidget)"
        "the core links no widgets")
endforeach()

file(GLOB_RECURSE all_sources "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
foreach(file IN LISTS all_sources)
    if(NOT file MATCHES "/src/(app|tools)/")
        check_file("${file}" "\"app/" "only the main window stands above the windows")
    endif()
    if(file MATCHES "/src/widgets/")
        check_file("${file}" "\"(project|badge|records|render|designer|capture|app)/"
            "widgets/ lies below every window")
    endif()
    if(file MATCHES "/src/capture/")
        check_file("${file}" "\"(designer|render|app)/|\"(project|records)/(frm|Frm)"
            "capture/ uses the core and widgets/, no other window")
    elseif(NOT file MATCHES "/src/(app|tools)/")
        check_file("${file}" "\"capture/" "only the main window opens the capture windows")
    endif()
endforeach()

# Lines matching `pattern` in any source file but those `allowed` (a pattern of their paths).
function(check_lines allowed pattern why)
    foreach(file IN LISTS all_sources)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
        if(shown MATCHES "^(${allowed})$")
            continue()
        endif()
        file(STRINGS "${file}" found REGEX "${pattern}")
        foreach(line IN LISTS found)
            string(STRIP "${line}" line)
            set(problems "${problems}\n  ${shown}: ${line} (${why})")
        endforeach()
    endforeach()
    set(problems "${problems}" PARENT_SCOPE)
endfunction()

check_lines("common/AtomicFile\\.(h|cpp)|render/SheetPrinting\\.cpp|render/BadgeBatch\\.cpp"
    "QSaveFile|QPdfWriter|QIODevice::(WriteOnly|ReadWrite|Append|Truncate)"
    "write files through common/AtomicFile")
check_lines("common/.*"
    "decodeQuotedLines\\(|decodeLegacyText\\(|[^:]DecodedLines\\(|saveFileAtomically\\([^;]*(encode|take\\(\\))"
    "read and write legacy text through common/QuotedLines in the project's code page")

if(problems)
    message(FATAL_ERROR "Includes that cross the layers, or files written past the checked writer:${problems}")
endif()
message(STATUS "Layers hold")
