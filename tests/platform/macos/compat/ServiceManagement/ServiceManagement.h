// The part of the Apple SDK's ServiceManagement framework the backend uses:
// SMAppService (macOS 13), with the SDK's signatures and availability.
// GNUstep has no such framework. Nothing here is ever linked.
#pragma once
#pragma clang system_header

#import <Foundation/Foundation.h>

typedef NS_ENUM(NSInteger, SMAppServiceStatus) {
  SMAppServiceStatusNotRegistered = 0,
  SMAppServiceStatusEnabled = 1,
  SMAppServiceStatusRequiresApproval = 2,
  SMAppServiceStatusNotFound = 3,
} __attribute__((availability(macos, introduced = 13.0)));

__attribute__((availability(macos, introduced = 13.0)))
@interface SMAppService : NSObject
@property(class, readonly) SMAppService* mainAppService;
@property(readonly) SMAppServiceStatus status;
- (BOOL)registerAndReturnError:(NSError**)error;
@end
