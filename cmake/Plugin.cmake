# The plug-in: one shared-code static library (JUCE modules compiled once) and its VST3 wrapper.
# Tests and tools link the shared code through `amberslope_plugin`, so no binary recompiles JUCE.
find_package(JUCE 7.0.5 CONFIG REQUIRED)
find_package(PkgConfig REQUIRED)
# Debian's JUCE leaves out the bundled codecs and image libraries: use the system ones.
pkg_check_modules(AMBERSLOPE_SYSTEM_LIBS REQUIRED IMPORTED_TARGET zlib libpng libjpeg)

# The plug-in's identity for LV2 hosts; never change it, saved sessions refer to it.
set(AMBERSLOPE_LV2_URI "https://hesko.audio/plugins/amberslope")

juce_add_plugin(Amberslope
    PRODUCT_NAME "Amberslope"
    COMPANY_NAME "Hesko"
    COMPANY_WEBSITE "https://hesko.audio"
    COMPANY_EMAIL "plugins@hesko.audio"
    BUNDLE_ID "audio.hesko.amberslope"
    PLUGIN_MANUFACTURER_CODE Hsko
    PLUGIN_CODE HskP
    VERSION 0.2.0
    FORMATS VST3 LV2 Standalone
    VST3_CATEGORIES Fx EQ
    LV2URI "${AMBERSLOPE_LV2_URI}"
    IS_SYNTH FALSE
    NEEDS_MIDI_INPUT FALSE
    NEEDS_MIDI_OUTPUT FALSE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS FALSE
    COPY_PLUGIN_AFTER_BUILD FALSE)

set(AMBERSLOPE_PLUGIN_SOURCES
    ${PROJECT_SOURCE_DIR}/source/PluginProcessor.cpp
    ${PROJECT_SOURCE_DIR}/source/PluginEditor.cpp
    ${PROJECT_SOURCE_DIR}/source/ParameterMapping.cpp
    ${PROJECT_SOURCE_DIR}/source/StateValidation.cpp
    ${PROJECT_SOURCE_DIR}/source/StatusDisplay.cpp)
target_sources(Amberslope PRIVATE ${AMBERSLOPE_PLUGIN_SOURCES})
set_source_files_properties(${AMBERSLOPE_PLUGIN_SOURCES} PROPERTIES COMPILE_OPTIONS "${AMBERSLOPE_OWN_WARNING_FLAGS}")

target_compile_definitions(Amberslope PUBLIC
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_VST3_CAN_REPLACE_VST2=0
    JUCE_USE_FLAC=0
    JUCE_USE_OGGVORBIS=0
    JUCE_USE_MP3AUDIOFORMAT=0
    JUCE_USE_LAME_AUDIO_FORMAT=0
    JUCE_USE_WINDOWS_MEDIA_FORMAT=0
    # The host tool and the host-level tests load the built VST3 through JUCE's own hosting,
    # compiled once here with the rest of the shared code.
    JUCE_PLUGINHOST_VST3=1
    JUCE_MODAL_LOOPS_PERMITTED=1
    # The standalone application plays through ALSA or JACK.
    JUCE_ALSA=1
    JUCE_JACK=1)

target_link_libraries(Amberslope
    PRIVATE
        juce::juce_audio_utils
        juce::juce_audio_devices
        juce::juce_audio_processors
        juce::juce_audio_formats
        juce::juce_dsp
        juce::juce_gui_basics
    PUBLIC
        amberslope_dsp
        PkgConfig::AMBERSLOPE_SYSTEM_LIBS
        juce::juce_recommended_config_flags)

# What a test or tool needs to use the shared code: JUCE's headers and definitions as the plug-in
# sees them, and the shared-code library itself.
add_library(amberslope_plugin INTERFACE)
target_include_directories(amberslope_plugin INTERFACE
    $<TARGET_PROPERTY:Amberslope,INCLUDE_DIRECTORIES>)
target_compile_definitions(amberslope_plugin INTERFACE
    $<TARGET_PROPERTY:Amberslope,COMPILE_DEFINITIONS>)
target_link_libraries(amberslope_plugin INTERFACE Amberslope)

# JUCE 7.0.5's LV2 wrapper falls back to the product name ("Amberslope", which hosts read as a file
# path) before it reads the URI above; defined here, the URI wins.
target_compile_definitions(Amberslope_LV2 PRIVATE JucePlugin_LV2URI="${AMBERSLOPE_LV2_URI}")

get_target_property(AMBERSLOPE_VST3_BUNDLE Amberslope_VST3 JUCE_PLUGIN_ARTEFACT_FILE)
set(AMBERSLOPE_LV2_BUNDLE "$<TARGET_FILE_DIR:Amberslope_LV2>")
get_target_property(AMBERSLOPE_STANDALONE_APP Amberslope_Standalone JUCE_PLUGIN_ARTEFACT_FILE)
