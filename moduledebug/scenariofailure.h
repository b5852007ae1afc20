#pragma once

// How a metrology scenario ended. Every failure ends the scenario at once; the debug window
// turns it into the operator's message after the bench instruments have been released.
enum class ScenarioFailure
{
    None,
    ReportFile,           // the protocol file cannot be written
    MultimeterCannotOpen, // the multimeter's port did not open
    MultimeterLinkBroken, // a line to the multimeter did not leave, or no reading came at all
    LoadCannotOpen,
    LoadLinkBroken,
    InstrumentsMissing, // no multimeter, or no load where the scenario needs one
    ModuleLinkBroken,   // a module command or query failed: the device is to be disconnected
    ReferenceNotFollowing, // the multimeter reads nothing of the output: a lead, not the module
    Stopped,            // the operator asked the scenario to stop
};
