#include "device_security.h"

#ifndef KESTRIX_KERNEL
// ntdll exports these to user mode as the kernel does to drivers.
NTSYSAPI NTSTATUS NTAPI RtlCreateAcl(PACL acl, ULONG size, ULONG revision);
NTSYSAPI NTSTATUS NTAPI RtlAddAccessAllowedAce(PACL acl, ULONG revision, ACCESS_MASK mask,
                                               PSID sid);
NTSYSAPI NTSTATUS NTAPI RtlInitializeSid(PSID sid, PSID_IDENTIFIER_AUTHORITY authority,
                                         UCHAR count);
NTSYSAPI PULONG NTAPI RtlSubAuthoritySid(PSID sid, ULONG index);
NTSYSAPI NTSTATUS NTAPI RtlCreateSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor,
                                                    ULONG revision);
NTSYSAPI NTSTATUS NTAPI RtlSetDaclSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor,
                                                     BOOLEAN present, PACL dacl, BOOLEAN defaulted);
#endif

// An NT AUTHORITY SID with one or two sub-authorities.
static void makeNtSid(ULONG *sid, UCHAR count, ULONG first, ULONG second) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    RtlInitializeSid(sid, &ntAuthority, count);
    *RtlSubAuthoritySid(sid, 0) = first;
    if (count > 1)
        *RtlSubAuthoritySid(sid, 1) = second;
}

NTSTATUS buildDeviceSecurity(DeviceSecurity *s) {
    makeNtSid(s->system, 1, SECURITY_LOCAL_SYSTEM_RID, 0);
    makeNtSid(s->administrators, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    PACL dacl = (PACL)s->dacl;
    NTSTATUS status = RtlCreateAcl(dacl, sizeof s->dacl, ACL_REVISION);
    if (NT_SUCCESS(status))
        status = RtlAddAccessAllowedAce(dacl, ACL_REVISION, FILE_ALL_ACCESS, s->system);
    if (NT_SUCCESS(status))
        status = RtlAddAccessAllowedAce(dacl, ACL_REVISION, FILE_ALL_ACCESS, s->administrators);
    if (NT_SUCCESS(status))
        status = RtlCreateSecurityDescriptor(&s->descriptor, SECURITY_DESCRIPTOR_REVISION);
    if (NT_SUCCESS(status))
        status = RtlSetDaclSecurityDescriptor(&s->descriptor, TRUE, dacl, FALSE);
    // P: the DACL inherits nothing.
    s->descriptor.Control |= SE_DACL_PROTECTED;
    return status;
}
