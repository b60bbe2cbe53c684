// Kestrune.exe as a real process, started the way a launcher starts it.
#pragma once

#include "TestSupport.h"

namespace kt {

inline std::string KestruneCommand(const std::string& args)
{
	return "\"" + BinPath("Kestrune.exe") + "\"" + (args.empty() ? "" : " " + args);
}

inline std::string QuotedRecorder()
{
	return "\"" + BinPath("kt_record.exe") + "\"";
}

// Runs Kestrune.exe under kt_debugrun: its debug-output texts and exit code.
struct DebugRun
{
	std::vector<std::string> texts;
	DWORD exitCode = 0xffffffff;
	bool ended = false;
};

inline DebugRun RunUnderDebugger(const std::string& args, DWORD timeoutMs)
{
	DebugRun run;
	ScratchDir dir;
	std::string out = dir.File("debug.txt");
	Process p;
	if (!p.Start("\"" + BinPath("kt_debugrun.exe") + "\" \"" + out + "\" " + KestruneCommand(args)))
		return run;
	run.ended = p.Wait(timeoutMs);
	for (const std::string& line : ReadLines(out))
	{
		if (line.compare(0, 6, "debug:") == 0)
			run.texts.push_back(FromHex(line.substr(6)));
		else if (line.compare(0, 5, "exit:") == 0)
			run.exitCode = strtoul(line.c_str() + 5, NULL, 10);
	}
	return run;
}

}  // namespace kt
