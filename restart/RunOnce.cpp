// RunOnce registration of the follow-up command for after a reboot.
#include "../waitproc/WaitProcThread.h"

BOOL CWaitProcThread::RegisterRestart(LPCSTR, BOOL, LPCSTR)
{
	return FALSE;
}
