// The C runtime's rules for splitting a command line into arguments, as the
// relaunched or restarted utility applies them. The program name (argv[0]) is
// taken up to its closing quote; in the other arguments 2n backslashes + quote
// give n backslashes and open or close a quoted part, 2n+1 backslashes + quote
// give n backslashes and a literal quote, other backslashes stand for
// themselves, and blanks outside quotes separate. A double-byte character is
// taken whole.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline std::vector<std::string> SplitLikeCrt(const std::string& line)
{
	std::vector<std::string> args;
	size_t p = 0, n = line.size();
	std::string program;
	if (p < n && line[p] == '"')
	{
		for (++p; p < n && line[p] != '"'; ++p)
			program += line[p];
		if (p < n)
			++p;
	}
	else
		for (; p < n && line[p] != ' ' && line[p] != '\t'; ++p)
			program += line[p];
	args.push_back(program);
	for (;;)
	{
		while (p < n && (line[p] == ' ' || line[p] == '\t'))
			++p;
		if (p >= n)
			break;
		std::string arg;
		bool quoted = false;
		while (p < n && (quoted || (line[p] != ' ' && line[p] != '\t')))
		{
			size_t backslashes = 0;
			while (p < n && line[p] == '\\')
				++backslashes, ++p;
			if (p < n && line[p] == '"')
			{
				arg.append(backslashes / 2, '\\');
				if (backslashes % 2)
					arg += '"';
				else if (quoted && p + 1 < n && line[p + 1] == '"')
					arg += '"', ++p; // "" inside quotes: one literal quote
				else
					quoted = !quoted;
				++p;
				continue;
			}
			arg.append(backslashes, '\\');
			if (p >= n || (!quoted && (line[p] == ' ' || line[p] == '\t')))
				break;
			if (IsDBCSLeadByte((BYTE)line[p]) && p + 1 < n)
				arg += line[p++];
			arg += line[p++];
		}
		args.push_back(arg);
	}
	return args;
}
