# Builds the plug-in's VST 3 client from a patched copy of Debian's juce_audio_plugin_client.
#
# Why: JUCE 7.0.5's VST 3 client on Linux keeps the host's run loops in a std::multiset, one entry
# for each open editor, and erases a closing editor's run loop by value, which removes the entries
# of every editor. Hosts hand all editors one run loop, so when one editor of two closes, the
# editors that stay lose their event and timer dispatch: they stop repainting and ignore the mouse
# (issue 20; the test is EditorWindow.KeepsPaintingAndTakingTheMouseWhenAnotherInstancesEditorCloses
# in tests/host/EditorWindowTest.cpp). Later JUCE releases erase a single entry, found with find();
# the patch below is that change.
#
# Delete this file and its include() in CMakeLists.txt once the framework the build finds has the
# fix: the replacement then stops matching and configuring fails here, which is the reminder.
#
# Included after juce_add_plugin (Quorvane). Only the copy in the build tree is patched; the
# installed framework and every other module stay as Debian ships them. Each configure brings the
# copy up to date, and a change to the installed wrapper makes the build configure again.

if(NOT TARGET Quorvane OR NOT TARGET Quorvane_VST3)
    message(FATAL_ERROR "Include PatchJucePluginClient.cmake after juce_add_plugin (Quorvane)")
endif()

set(_juce_client_source "${JUCE_MODULES_DIR}/juce_audio_plugin_client")
set(_juce_client_copies "${CMAKE_BINARY_DIR}/juce-patched")
set(_juce_client_copy "${_juce_client_copies}/juce_audio_plugin_client")
set(_juce_client_wrapper "VST3/juce_VST3_Wrapper.cpp")

if(NOT EXISTS "${_juce_client_source}/${_juce_client_wrapper}")
    message(FATAL_ERROR "No ${_juce_client_source}/${_juce_client_wrapper} to patch: is juce-modules-source installed?")
endif()

# Timestamps are kept, so files already copied are not copied again. The wrapper is written below.
file(COPY "${_juce_client_source}/" DESTINATION "${_juce_client_copy}"
     PATTERN "juce_VST3_Wrapper.cpp" EXCLUDE)

# A change within one line.
set(_juce_client_faulty "refreshAttachedEventLoop ([this, runLoop] { hostRunLoops.erase (runLoop); });")
set(_juce_client_fixed "refreshAttachedEventLoop ([this, runLoop] { if (const auto it = hostRunLoops.find (runLoop); it != hostRunLoops.end()) hostRunLoops.erase (it); });")

file(READ "${_juce_client_source}/${_juce_client_wrapper}" _juce_client_text)
string(FIND "${_juce_client_text}" "${_juce_client_faulty}" _juce_client_first)
string(FIND "${_juce_client_text}" "${_juce_client_faulty}" _juce_client_last REVERSE)

if(_juce_client_first EQUAL -1 OR NOT _juce_client_first EQUAL _juce_client_last)
    message(FATAL_ERROR
        "The run-loop fix for ${_juce_client_source}/${_juce_client_wrapper} no longer applies: "
        "its faulty line is not there exactly once. If this JUCE already erases a single run-loop "
        "registration, delete cmake/PatchJucePluginClient.cmake and its include() in CMakeLists.txt.")
endif()

# CMake reads text without its carriage returns. The framework's file ends every line with CRLF;
# the copy does too, so that it differs from the original in that one line only.
file(SIZE "${_juce_client_source}/${_juce_client_wrapper}" _juce_client_size)
string(LENGTH "${_juce_client_text}" _juce_client_length)
string(REPLACE "\n" "" _juce_client_joined "${_juce_client_text}")
string(LENGTH "${_juce_client_joined}" _juce_client_joined_length)
math(EXPR _juce_client_lines "${_juce_client_length} - ${_juce_client_joined_length}")
math(EXPR _juce_client_returns "${_juce_client_size} - ${_juce_client_length}")

string(REPLACE "${_juce_client_faulty}" "${_juce_client_fixed}" _juce_client_text "${_juce_client_text}")

if(_juce_client_returns EQUAL _juce_client_lines)
    string(REPLACE "\n" "\r\n" _juce_client_text "${_juce_client_text}")
elseif(NOT _juce_client_returns EQUAL 0)
    message(FATAL_ERROR "${_juce_client_source}/${_juce_client_wrapper} mixes line ends: patch its copy another way")
endif()

# Written only when it changes, so that a reconfigure does not rebuild the plug-in.
set(_juce_client_target_file "${_juce_client_copy}/${_juce_client_wrapper}")
set(_juce_client_old_hash "")
if(EXISTS "${_juce_client_target_file}")
    file(SHA256 "${_juce_client_target_file}" _juce_client_old_hash)
endif()
string(SHA256 _juce_client_new_hash "${_juce_client_text}")
if(NOT _juce_client_old_hash STREQUAL _juce_client_new_hash)
    file(WRITE "${_juce_client_target_file}" "${_juce_client_text}")
endif()

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_juce_client_source}/${_juce_client_wrapper}")

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
