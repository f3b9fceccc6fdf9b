# Fails when a file includes a layer above its own:
#   - the core (formats, SQL, model, renderer) includes no window, widget or printer header;
#   - nothing but the main window and main() includes app/;
#   - widgets/, shared by every window, includes no window's folder;
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
        "[<\"](app/|widgets/|designer/|QtWidgets|QtPrintSupport|QApplication|QWidget)"
        "the core links no widgets")
endforeach()

file(GLOB_RECURSE all_sources "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
foreach(file IN LISTS all_sources)
    if(NOT file MATCHES "/src/(app|tools)/")
        check_file("${file}" "\"app/" "only the main window stands above the windows")
    endif()
    if(file MATCHES "/src/widgets/")
        check_file("${file}" "\"(project|badge|records|render|designer|app)/"
            "widgets/ lies below every window")
    endif()
endforeach()

set(writers_allowed "common/AtomicFile\\.(h|cpp)|render/SheetPrinting\\.cpp|render/BadgeBatch\\.cpp")
foreach(file IN LISTS all_sources)
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
    if(shown MATCHES "^(${writers_allowed})$")
        continue()
    endif()
    file(STRINGS "${file}" writes
        REGEX "QSaveFile|QPdfWriter|QIODevice::(WriteOnly|ReadWrite|Append|Truncate)")
    foreach(line IN LISTS writes)
        string(STRIP "${line}" line)
        set(problems "${problems}\n  ${shown}: ${line} (write files through common/AtomicFile)")
    endforeach()
endforeach()

foreach(file IN LISTS all_sources)
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
    if(shown MATCHES "^common/")
        continue()
    endif()
    file(STRINGS "${file}" decodes
        REGEX "decodeQuotedLines\\(|decodeLegacyText\\(|[^:]DecodedLines\\(|saveFileAtomically\\([^;]*(encode|take\\(\\))")
    foreach(line IN LISTS decodes)
        string(STRIP "${line}" line)
        set(problems "${problems}\n  ${shown}: ${line} (read and write legacy text through common/QuotedLines in the project's code page)")
    endforeach()
endforeach()

if(problems)
    message(FATAL_ERROR "Includes that cross the layers, or files written past the checked writer:${problems}")
endif()
message(STATUS "Layers hold")
