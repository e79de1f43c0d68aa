// The part of the Apple SDK's UserNotifications framework (macOS 10.14) the
// backend uses, with the SDK's signatures and availability. GNUstep has no
// such framework. Nothing here is ever linked.
#pragma once
#pragma clang system_header

#import <Foundation/Foundation.h>

#define KESTRINE_UN_AVAILABLE __attribute__((availability(macos, introduced = 10.14)))

typedef NS_OPTIONS(NSUInteger, UNAuthorizationOptions) {
  UNAuthorizationOptionBadge = (1 << 0),
  UNAuthorizationOptionSound = (1 << 1),
  UNAuthorizationOptionAlert = (1 << 2),
} KESTRINE_UN_AVAILABLE;

typedef NS_OPTIONS(NSUInteger, UNNotificationPresentationOptions) {
  UNNotificationPresentationOptionBadge = (1 << 0),
  UNNotificationPresentationOptionSound = (1 << 1),
  UNNotificationPresentationOptionList
  __attribute__((availability(macos, introduced = 11.0))) = (1 << 3),
  UNNotificationPresentationOptionBanner
  __attribute__((availability(macos, introduced = 11.0))) = (1 << 4),
} KESTRINE_UN_AVAILABLE;

KESTRINE_UN_AVAILABLE
@interface UNNotificationSound : NSObject <NSCopying>
@property(class, nonatomic, readonly, copy) UNNotificationSound* defaultSound;
@end

KESTRINE_UN_AVAILABLE
@interface UNNotificationContent : NSObject <NSCopying, NSMutableCopying>
@property(nonatomic, readonly, copy) NSString* title;
@property(nonatomic, readonly, copy) NSString* subtitle;
@property(nonatomic, readonly, copy) NSString* body;
@property(nonatomic, readonly, copy) UNNotificationSound* sound;
@end

KESTRINE_UN_AVAILABLE
@interface UNMutableNotificationContent : UNNotificationContent
@property(nonatomic, copy) NSString* title;
@property(nonatomic, copy) NSString* subtitle;
@property(nonatomic, copy) NSString* body;
@property(nonatomic, copy) UNNotificationSound* sound;
@end

KESTRINE_UN_AVAILABLE
@interface UNNotificationTrigger : NSObject <NSCopying>
@end

KESTRINE_UN_AVAILABLE
@interface UNNotificationRequest : NSObject <NSCopying>
+ (instancetype)requestWithIdentifier:(NSString*)identifier
                              content:(UNNotificationContent*)content
                              trigger:(UNNotificationTrigger*)trigger;
@end

KESTRINE_UN_AVAILABLE
@interface UNNotification : NSObject <NSCopying>
@property(nonatomic, readonly, copy) UNNotificationRequest* request;
@end

@class UNUserNotificationCenter;

KESTRINE_UN_AVAILABLE
@protocol UNUserNotificationCenterDelegate <NSObject>
@optional
- (void)userNotificationCenter:(UNUserNotificationCenter*)center
       willPresentNotification:(UNNotification*)notification
         withCompletionHandler:
             (void (^)(UNNotificationPresentationOptions options))completionHandler;
@end

KESTRINE_UN_AVAILABLE
@interface UNUserNotificationCenter : NSObject
@property(nonatomic, weak) id<UNUserNotificationCenterDelegate> delegate;
+ (UNUserNotificationCenter*)currentNotificationCenter;
- (void)requestAuthorizationWithOptions:(UNAuthorizationOptions)options
                      completionHandler:(void (^)(BOOL granted, NSError* error))completionHandler;
- (void)addNotificationRequest:(UNNotificationRequest*)request
         withCompletionHandler:(void (^)(NSError* error))completionHandler;
@end

#undef KESTRINE_UN_AVAILABLE
