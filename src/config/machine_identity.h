// Who the local computer is: its IPv4 addresses with their MAC addresses and subnet masks, the domain
// controller it logs on to, its host name and the domain or workgroup it has joined. Found once at
// start-up into process-wide values.
#pragma once

#include <string>

#include "config/agent_parameters.h"
#include "win32.h"

// Every IPv4 address but "0.0.0.0" of every adapter, in the system's order, joined by ",".
extern AgentText gv_localIPAddress;
// For each address taken, the MAC address of its adapter ("aa:bb:..."), joined by ","; "--" when none.
extern AgentText gv_localMACAddress;
// For each address taken, its subnet mask, joined by ",".
extern AgentText gv_localSubnetMask;
// The domain controller's flat name without its leading "\\"; absent when none was found.
extern AgentText gv_domainController;
// The physical DNS host name (UTF-8).
extern AgentText gv_localComputerName;
// The domain or workgroup name, white space trimmed at both ends.
extern AgentText gv_clientNamespace;
// 1 when the computer is joined to a domain; 1 until the join status is known.
extern int gv_isDomainMember;

// 0, or 13 when the computer name or the namespace cannot be found (the address lists and the
// domain controller are optional).
int InitializeLocalMachineDetails();
// 0 or the system error code. The lists are replaced even on failure (MAC "--" when no MAC was taken)
// and hold at most 32766 characters each.
DWORD GetMACandIPAddress(std::string& ipList, std::string& macList, std::string& maskList);
// The step of GetMACandIPAddress that walks the adapter list: writes each address line to standard
// output and the log, and appends every address but "0.0.0.0" with its adapter's MAC (6-byte
// addresses only) and its mask to the lists.
void AppendAdapterAddresses(const IP_ADAPTER_INFO* adapters, std::string& ipList, std::string& macList,
                            std::string& maskList);
// 0 with the domain controller's name, or DsGetDcNameA's error code.
DWORD GetComputerLogonServer(AgentText& domainController);
// 1 with the physical DNS host name (at most 63 characters), else 0.
int GetLocalComputerName(AgentText& computerName);
// 1 when the join information was obtained (whatever the status), with the join name and whether it
// is a domain; else 0.
int GetComputerNameSpace(AgentText& nameSpace, int& isDomainMember);
