# Builds the plug-in's VST 3 client from a copy of Debian's juce_audio_plugin_client with
# juce_audio_plugin_client.patch applied. Two faults of JUCE 7.0.5's wrapper are mended there:
#
# - Editors freezing. On Linux it keeps the host's run loops in a std::multiset, one entry for
#   each open editor, and erases a closing editor's run loop by value, which removes the entries
#   of every editor. Hosts hand all editors one run loop, so when one editor of two closes, the
#   other loses its event and timer dispatch: it stops repainting and ignores the mouse. Later
#   JUCE releases erase a single entry, found with find(); the patch does the same.
# - A damaged host state chunk. The wrapper trusts the size of its own private data at the end
#   of the chunk, and reads that data with a value tree reader that trusts every count in it: a
#   project file can make it read outside the chunk, recurse past the stack or allocate without
#   bound. The patch restores nothing from a chunk whose private data does not fit in it, and
#   reads only private data of the small, plain form the wrapper writes.
#
# Delete this file, the patch and the include() in CMakeLists.txt once the framework the build
# finds has both mends: the patch then no longer applies and configuring fails here, which is the
# reminder. Only the copy in the build tree is patched; the installed framework and every other
# module stay as Debian ships them. Included after juce_add_plugin (Quorvane).

if(NOT TARGET Quorvane OR NOT TARGET Quorvane_VST3)
    message(FATAL_ERROR "Include PatchJucePluginClient.cmake after juce_add_plugin (Quorvane)")
endif()

find_program(QUORVANE_PATCH_PROGRAM patch REQUIRED)

set(_juce_client_source "${JUCE_MODULES_DIR}/juce_audio_plugin_client")
set(_juce_client_copies "${CMAKE_BINARY_DIR}/juce-patched")
set(_juce_client_copy "${_juce_client_copies}/juce_audio_plugin_client")
set(_juce_client_staging "${CMAKE_BINARY_DIR}/juce-patched-staging")
set(_juce_client_wrapper "VST3/juce_VST3_Wrapper.cpp")
set(_juce_client_patch "${CMAKE_CURRENT_LIST_DIR}/juce_audio_plugin_client.patch")

if(NOT EXISTS "${_juce_client_source}/${_juce_client_wrapper}")
    message(FATAL_ERROR "No ${_juce_client_source}/${_juce_client_wrapper} to patch: is juce-modules-source installed?")
endif()

# Timestamps are kept, so files already copied are not copied again. The wrapper is patched apart.
file(COPY "${_juce_client_source}/" DESTINATION "${_juce_client_copy}" PATTERN "juce_VST3_Wrapper.cpp" EXCLUDE)

file(REMOVE_RECURSE "${_juce_client_staging}")
file(COPY "${_juce_client_source}/${_juce_client_wrapper}" DESTINATION "${_juce_client_staging}/VST3")
execute_process(COMMAND "${QUORVANE_PATCH_PROGRAM}" --batch --forward --silent -p1 -d "${_juce_client_staging}" -i "${_juce_client_patch}"
                RESULT_VARIABLE _juce_client_result OUTPUT_VARIABLE _juce_client_output ERROR_VARIABLE _juce_client_output)

if(NOT _juce_client_result EQUAL 0)
    message(FATAL_ERROR "${_juce_client_patch} no longer applies to ${_juce_client_source}: ${_juce_client_output}"
                        "If this JUCE has the mends the patch carries, delete the patch, cmake/PatchJucePluginClient.cmake "
                        "and its include() in CMakeLists.txt.")
endif()

# Replaced only when it changes, so that a reconfigure does not rebuild the plug-in.
file(COPY_FILE "${_juce_client_staging}/${_juce_client_wrapper}" "${_juce_client_copy}/${_juce_client_wrapper}" ONLY_IF_DIFFERENT)
file(REMOVE_RECURSE "${_juce_client_staging}")

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_juce_client_source}/${_juce_client_wrapper}" "${_juce_client_patch}")

# JUCE's CMake gives each plug-in format (and the shared utilities) an interface target whose
# sources lie in the module; the plug-in's targets compile them. Point them at the copy.
foreach(_juce_client_target IN ITEMS juce_audio_plugin_client_utils juce_audio_plugin_client_VST3)
    get_target_property(_juce_client_sources ${_juce_client_target} INTERFACE_SOURCES)
    set(_juce_client_copied)
    foreach(_juce_client_file IN LISTS _juce_client_sources)
        string(FIND "${_juce_client_file}" "${_juce_client_source}/" _juce_client_at)
        if(NOT _juce_client_at EQUAL 0)
            message(FATAL_ERROR "${_juce_client_target} compiles ${_juce_client_file}, which is not in ${_juce_client_source}")
        endif()
        string(LENGTH "${_juce_client_source}" _juce_client_length)
        string(SUBSTRING "${_juce_client_file}" ${_juce_client_length} -1 _juce_client_relative)
        list(APPEND _juce_client_copied "${_juce_client_copy}${_juce_client_relative}")
    endforeach()
    set_property(TARGET ${_juce_client_target} PROPERTY INTERFACE_SOURCES "${_juce_client_copied}")
endforeach()

# The module's headers come from the copy too, wherever they are included from: its folder goes
# first on the include path of the targets that compile the module. (A header included both from
# the copy and from the installed module would be two files, defined twice.)
foreach(_juce_client_target IN ITEMS Quorvane Quorvane_VST3)
    target_include_directories(${_juce_client_target} BEFORE PRIVATE "${_juce_client_copies}")
endforeach()

message(STATUS "VST 3 client built from the patched copy ${_juce_client_copy}")
